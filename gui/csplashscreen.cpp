#include "gui/csplashscreen.h"

#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/vstkeys.h"

CSplashScreen::CSplashScreen(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                             const CRect& toDisplay, const CPoint& offset)
    : CControl(size, listener, tag, background), clickArea(size), toDisplay(toDisplay), offset(offset) {}

void CSplashScreen::draw(CDrawContext* context) {
    if (getValue() != 0 && background) background->draw(context, toDisplay, offset);
    setDirty(false);
}

void CSplashScreen::show() {
    setValue(1);
    setViewSize(toDisplay);
    if (frame) frame->setModalView(this);
}

void CSplashScreen::hide() {
    setValue(0);
    if (frame) {
        frame->invalidRect(toDisplay);
        frame->setModalView(nullptr);
    }
    setViewSize(clickArea);
    // The image disappears before the listener runs, which may ask a question and wait for the answer.
    if (frame) frame->redrawDirty();
}

CMouseEventResult CSplashScreen::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    if (getValue() == 0)
        show();
    else
        hide();
    valueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

long CSplashScreen::onKeyDown(CKeyCode& keyCode) {
    if (getValue() == 0 || (keyCode.virt != VKEY_ESCAPE && keyCode.virt != VKEY_RETURN)) return -1;
    hide();
    valueChanged();
    return 1;
}

void CSplashScreen::removed() {
    if (getValue() != 0) {
        setValue(0);
        size = clickArea;
        mouseableArea = clickArea;
    }
    CControl::removed();
}
