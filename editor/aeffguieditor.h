// The editor glue between the effect and the widget layer: the editor rectangle, the frame's idle, the
// knob mode, the host's keys handed to the frame, and the begin and end of user gestures passed on to the
// host.
#pragma once

#include "gui/cframe.h"
#include "gui/veditorinterface.h"
#include "host/aeff_editor.h"

class AudioEffectX;

class AEffGUIEditor : public AEffEditor, public VSTGUIEditorInterface {
  public:
    explicit AEffGUIEditor(AudioEffect* effect);
    // Deletes a frame that the subclass left open.
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;
    bool open(void* ptr) override;
    // Reads the window's events and redraws what changed; nothing without a frame.
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool setKnobMode(VstInt32 value) override;

    // Only parameter indices reach the host.
    void beginEdit(long index) override;
    void endEdit(long index) override;
    long getKnobMode() const override { return knobMode; }
    // Keeps the host responsive while the editor is busy.
    void doIdleStuff() override;
    CFrame* getFrame() const override { return frame; }
    AudioEffectX* getEffectX() const;

  protected:
    ERect rect{0, 0, 0, 0};
    CFrame* frame = nullptr;
    long knobMode = kCircularMode;
};
