// The editor interface the effect base classes talk to; the widget layer's editor glue derives from it.
#pragma once

#include "host/aeffect.h"

class AudioEffect;

class AEffEditor {
  public:
    explicit AEffEditor(AudioEffect* owner = nullptr) : effect(owner) {}
    virtual ~AEffEditor() = default;

    virtual AudioEffect* getEffect() { return effect; }
    virtual bool getRect(ERect** rect) {
        *rect = nullptr;
        return false;
    }
    virtual bool open(void* ptr) {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool setKnobMode(VstInt32 val) { return false; }
    virtual bool onKeyDown(VstKeyCode& keyCode) { return false; }
    virtual bool onKeyUp(VstKeyCode& keyCode) { return false; }
    // Echo of a parameter change into the controls; any thread may call it.
    virtual void setParameter(VstInt32 index, float value) {}

  protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};
