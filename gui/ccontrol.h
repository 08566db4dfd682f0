// A view with a value, a tag and a listener; the base of knobs, buttons, menus and the splash screen.
#pragma once

#include "gui/cview.h"

#include <atomic>

class CControl;

class CControlListener {
  public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    virtual void controlBeginEdit(CControl* control) {}
    virtual void controlEndEdit(CControl* control) {}
};

class CControl : public CView {
  public:
    CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0,
             CBitmap* background = nullptr);
    ~CControl() override;

    // Stores the value and marks the control for redraw when it changed; the listener is not called.
    virtual void setValue(float value);
    virtual float getValue() const { return value.load(std::memory_order_relaxed); }
    void setDefaultValue(float newDefault) { defaultValue = newDefault; }

    long getTag() const { return tag; }
    void setListener(CControlListener* newListener) { listener = newListener; }

    // Reports the value to the listener.
    virtual void valueChanged();
    // A user gesture starts or ends: told to the editor (host begin/end edit) and the listener, always
    // paired.
    virtual void beginEdit();
    virtual void endEdit();
    bool isEditing() const { return editing; }

    void removed() override;

  protected:
    CControlListener* listener;
    long tag;
    std::atomic<float> value{0};
    float minimum = 0;
    float maximum = 1;
    float defaultValue = 0.5f;
    float wheelIncrement = 0.1f;
    bool editing = false;
};
