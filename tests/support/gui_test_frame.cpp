#include "gui_test_frame.h"

#include "engine/parameter_table.h"

#include <cairo.h>
#include <cstdio>

void RecordingListener::valueChanged(CControl* control) {
    char line[64];
    std::snprintf(line, sizeof line, "value %ld %g", control->getTag(), control->getValue());
    events.push_back(line);
    values.push_back(control->getValue());
}

void RecordingListener::controlBeginEdit(CControl* control) {
    events.push_back("begin " + std::to_string(control->getTag()));
}

void RecordingListener::controlEndEdit(CControl* control) {
    events.push_back("end " + std::to_string(control->getTag()));
}

int RecordingListener::count(const std::string& prefix) const {
    int found = 0;
    for (const std::string& event : events)
        found += event.rfind(prefix, 0) == 0 ? 1 : 0;
    return found;
}

EditorLayout buildEditorLayout(CFrame* frame, const EditorBitmaps& bitmaps, CControlListener* listener) {
    EditorLayout layout;
    frame->setBackground(bitmaps.background);
    for (const ControlPlace& place : kEditorLayout) {
        CControl* control = createControl(place, bitmaps, listener);
        switch (place.kind) {
        case ControlKind::ProgramList:
            layout.programList = static_cast<COptionMenu*>(control);
            for (int i = 0; i < 128; ++i) {
                char name[32];
                std::snprintf(name, sizeof name, i == 0 ? "Master Polish" : "Program %d", i + 1);
                layout.programList->addEntry(name);
            }
            layout.programList->setCurrent(0);
            layout.programList->checkEntryAlone(0);
            break;
        case ControlKind::FileMenu:
            layout.fileMenu = static_cast<COptionMenu*>(control);
            for (const char* entry : {"Load preset", "Load bank", "-", "Save preset", "Save bank", "-",
                                      "Init preset", "-", "Visit lumeric.example"})
                layout.fileMenu->addEntry(entry);
            break;
        case ControlKind::Knob: {
            control->setValue(0.5f);
            std::string tip = std::string("Help text of ") + parameterTable[place.tag].name;
            control->setAttribute(kCViewTooltipAttribute, static_cast<long>(tip.size() + 1), tip.c_str());
            layout.knobs.push_back(static_cast<CAnimKnob*>(control));
            break;
        }
        case ControlKind::Switch:
            (place.tag == kBypass ? layout.bypass : layout.mono) = static_cast<COnOffButton*>(control);
            break;
        case ControlKind::Button: {
            CKickButton* button = static_cast<CKickButton*>(control);
            (place.tag == kTagSpectrum      ? layout.spectrum
             : place.tag == kTagScope       ? layout.scope
             : place.tag == kTagNextProgram ? layout.next
                                            : layout.previous) = button;
            break;
        }
        case ControlKind::Led:
        case ControlKind::RedLed:
            layout.leds[&place - &controlWithTag(kTagLed)] = static_cast<COnOffButton*>(control);
            break;
        case ControlKind::Analyser: // the analyser's tests build it alone
            continue;
        case ControlKind::AboutScreen:
            layout.tooltips = new CTooltipSupport(frame, nullptr, 1000);
            layout.about = static_cast<CSplashScreen*>(control);
            break;
        }
        frame->addView(control);
    }
    return layout;
}

unsigned pixelAt(CFrame* frame, int x, int y) {
    cairo_surface_t* image = frame->getImage();
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    unsigned value = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
    return value & 0xffffff;
}

double meanBrightness(CFrame* frame, const CRect& area) {
    double sum = 0;
    int count = 0;
    for (int y = static_cast<int>(area.top); y < area.bottom; ++y) {
        for (int x = static_cast<int>(area.left); x < area.right; ++x) {
            unsigned pixel = pixelAt(frame, x, y);
            sum += ((pixel >> 16) & 255) + ((pixel >> 8) & 255) + (pixel & 255);
            ++count;
        }
    }
    return count ? sum / (3.0 * count) : 0;
}
