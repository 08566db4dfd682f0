// A frame laid out like the editor, with recording listener and editor interface, for the widget tests.
#pragma once

#include "editor/editor_controls.h"
#include "gui/vstgui.h"
#include "gui/veditorinterface.h"
#include "gui/vstkeys.h"

#include <string>
#include <vector>

// Records every report of the controls, in order: "begin 5", "value 5 0.25", "end 5".
class RecordingListener : public CControlListener {
  public:
    void valueChanged(CControl* control) override;
    void controlBeginEdit(CControl* control) override;
    void controlEndEdit(CControl* control) override;
    std::vector<std::string> events;
    std::vector<float> values;
    void clear() {
        events.clear();
        values.clear();
    }
    int count(const std::string& prefix) const;
};

// Records the begin and end of gestures the frame passes to its editor, as the host would see them.
class RecordingEditor : public VSTGUIEditorInterface {
  public:
    void beginEdit(long index) override { events.push_back("begin " + std::to_string(index)); }
    void endEdit(long index) override { events.push_back("end " + std::to_string(index)); }
    long getKnobMode() const override { return kLinearMode; }
    std::vector<std::string> events;
};

// The views of a frame built like the editor's window.
struct EditorLayout {
    std::vector<CAnimKnob*> knobs; // in the editor's creation order
    COnOffButton* bypass = nullptr;
    COnOffButton* mono = nullptr;
    CKickButton* spectrum = nullptr;
    CKickButton* scope = nullptr;
    CKickButton* previous = nullptr;
    CKickButton* next = nullptr;
    COnOffButton* leds[5] = {};
    COptionMenu* programList = nullptr;
    COptionMenu* fileMenu = nullptr;
    CSplashScreen* about = nullptr;
    CTooltipSupport* tooltips = nullptr;
};

// Fills the frame with every control at its place, as the editor's open does.
EditorLayout buildEditorLayout(CFrame* frame, const EditorBitmaps& bitmaps, CControlListener* listener);

// Colour of one pixel of the frame's image, as 0xRRGGBB.
unsigned pixelAt(CFrame* frame, int x, int y);
// Mean brightness (0..255) of a rectangle of the frame's image.
double meanBrightness(CFrame* frame, const CRect& area);
