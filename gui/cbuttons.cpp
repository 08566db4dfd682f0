#include "gui/cbuttons.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                           long style)
    : CControl(size, listener, tag, background), style(style) {}

void COnOffButton::draw(CDrawContext* context) {
    if (background) background->draw(context, size, CPoint(0, getValue() != 0 ? size.height() : 0));
    setDirty(false);
}

CMouseEventResult COnOffButton::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    setValue(getValue() == 0 ? 1.0f : 0.0f);
    valueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CKickButton::CKickButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                         const CPoint& offset)
    : CKickButton(size, listener, tag, size.height(), background, offset) {}

CKickButton::CKickButton(const CRect& size, CControlListener* listener, long tag, CCoord heightOfOneImage,
                         CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset), heightOfOneImage(heightOfOneImage) {}

void CKickButton::draw(CDrawContext* context) {
    CPoint where(offset.h, offset.v + (getValue() != 0 ? heightOfOneImage : 0));
    if (background) background->draw(context, size, where);
    setDirty(false);
}

CMouseEventResult CKickButton::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    setValue(1);
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseMoved(CPoint& where, const long& buttons) {
    if (!isEditing()) return kMouseEventNotHandled;
    // Looks pressed only while the pointer is over it.
    setValue(size.pointInside(where) ? 1.0f : 0.0f);
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint& where, const long& buttons) {
    if (!isEditing()) return kMouseEventNotHandled;
    setValue(0);
    valueChanged();
    endEdit();
    return kMouseEventHandled;
}
