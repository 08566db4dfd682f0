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

EditorBitmaps::EditorBitmaps()
    : background(new CBitmap(128)), knob(new CBitmap(130)), about(new CBitmap(132)), led(new CBitmap(134)),
      ledRed(new CBitmap(135)), button(new CBitmap(139)) {}

EditorBitmaps::~EditorBitmaps() {
    for (CBitmap* bitmap : {background, knob, about, led, ledRed, button})
        bitmap->forget();
}

namespace {
template <typename Button>
Button* addButton(CFrame* frame, const EditorBitmaps& bitmaps, CControlListener* listener, int x, int y,
                  long tag) {
    CCoord width = bitmaps.button->getWidth(), height = bitmaps.button->getHeight() / 2;
    CRect size(x - 9, y - 9, x - 9 + width, y - 9 + height);
    Button* button = new Button(size, listener, tag, bitmaps.button);
    button->setTransparency(true);
    frame->addView(button);
    return button;
}
} // namespace

EditorLayout buildEditorLayout(CFrame* frame, const EditorBitmaps& bitmaps, CControlListener* listener) {
    EditorLayout layout;
    frame->setBackground(bitmaps.background);

    layout.programList =
        new COptionMenu(CRect(53, 57, 295, 94), listener, 100, nullptr, nullptr, kCheckStyle);
    layout.programList->setTransparency(true);
    layout.programList->setTextTransparency(true);
    layout.programList->setFont(kNormalFontVeryBig);
    layout.programList->setFontColor(CColor{0, 0, 0, 128});
    layout.programList->setNbItemsPerColumn(32);
    layout.programList->setHoriAlign(kCenterText);
    for (int i = 0; i < 128; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, i == 0 ? "Master Polish" : "Program %d", i + 1);
        layout.programList->addEntry(name);
    }
    layout.programList->setCurrent(0);
    layout.programList->checkEntryAlone(0);
    frame->addView(layout.programList);

    layout.fileMenu = new COptionMenu(CRect(294, 11, 348, 27), listener, 105, nullptr, nullptr,
                                      kPopupStyle | kNoTextStyle | kNoDrawStyle);
    layout.fileMenu->setTransparency(true);
    for (const char* entry : {"Load preset", "Load bank", "-", "Save preset", "Save bank", "-", "Init preset",
                              "-", "Visit lumeric.example"})
        layout.fileMenu->addEntry(entry);
    frame->addView(layout.fileMenu);

    CCoord knobWidth = bitmaps.knob->getWidth();
    CCoord knobHeight = static_cast<long>(bitmaps.knob->getHeight()) / 256;
    for (const KnobPlace& place : kKnobPlaces) {
        CRect size(place.x - 21, place.y, place.x - 21 + knobWidth, place.y + knobHeight);
        CAnimKnob* knob = new CAnimKnob(size, listener, place.parameter, 256, knobWidth, bitmaps.knob,
                                        CPoint(place.x - 21, place.y));
        knob->setTransparency(true);
        knob->setValue(0.5f);
        std::string tip = std::string("Help text of ") + parameterTable[place.parameter].name;
        knob->setAttribute(kCViewTooltipAttribute, static_cast<long>(tip.size() + 1), tip.c_str());
        frame->addView(knob);
        layout.knobs.push_back(knob);
    }
    layout.bypass = addButton<COnOffButton>(frame, bitmaps, listener, 351, 11, 1);
    layout.mono = addButton<COnOffButton>(frame, bitmaps, listener, 323, 266, 24);
    layout.spectrum = addButton<CKickButton>(frame, bitmaps, listener, 688, 267, 103);
    layout.scope = addButton<CKickButton>(frame, bitmaps, listener, 745, 267, 104);
    layout.previous = addButton<CKickButton>(frame, bitmaps, listener, 181, 11, 102);
    layout.next = addButton<CKickButton>(frame, bitmaps, listener, 239, 11, 101);
    for (int i = 0; i < 5; ++i) {
        CBitmap* bitmap = i < 4 ? bitmaps.led : bitmaps.ledRed;
        CCoord top = 85 - 14 * i;
        CRect size(501, top, 501 + bitmap->getWidth(), top + bitmap->getHeight() / 2);
        layout.leds[i] = new COnOffButton(size, listener, 300, bitmap, 0);
        layout.leds[i]->setTransparency(true);
        frame->addView(layout.leds[i]);
    }
    layout.tooltips = new CTooltipSupport(frame, nullptr, 1000);
    CRect aboutImage(0, 0, bitmaps.about->getWidth(), bitmaps.about->getHeight());
    layout.about = new CSplashScreen(CRect(392, 515, 828, 554), listener, 106, bitmaps.about, aboutImage);
    frame->addView(layout.about);
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
