#include "gui/ccontrol.h"

#include "gui/cframe.h"
#include "gui/veditorinterface.h"

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CView(size), listener(listener), tag(tag) {
    if (background) setBackground(background);
}

CControl::~CControl() = default;

void CControl::setValue(float newValue) {
    if (value.exchange(newValue, std::memory_order_relaxed) != newValue) setDirty(true);
}

void CControl::valueChanged() {
    if (listener) listener->valueChanged(this);
}

void CControl::beginEdit() {
    if (editing) return;
    editing = true;
    if (frame && frame->getEditor()) frame->getEditor()->beginEdit(tag);
    if (listener) listener->controlBeginEdit(this);
}

void CControl::endEdit() {
    if (!editing) return;
    editing = false;
    if (listener) listener->controlEndEdit(this);
    if (frame && frame->getEditor()) frame->getEditor()->endEdit(tag);
}

void CControl::removed() {
    // A gesture cut short by closing the window still ends for the host; the listener may be going away.
    if (editing) {
        editing = false;
        if (frame && frame->getEditor()) frame->getEditor()->endEdit(tag);
    }
    CView::removed();
}
