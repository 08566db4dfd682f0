#include "gui/cbuttons.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

COnOffButton::COnOffButton(const CRect& rect, CControlListener* controlListener, long controlTag,
                           CBitmap* bitmap, long buttonStyle)
    : CControl(rect, controlListener, controlTag, bitmap), style(buttonStyle) {}

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

CKickButton::CKickButton(const CRect& rect, CControlListener* controlListener, long controlTag,
                         CBitmap* bitmap, const CPoint& bitmapOffset)
    : CKickButton(rect, controlListener, controlTag, rect.height(), bitmap, bitmapOffset) {}

CKickButton::CKickButton(const CRect& rect, CControlListener* controlListener, long controlTag,
                         CCoord imageHeight, CBitmap* bitmap, const CPoint& bitmapOffset)
    : CControl(rect, controlListener, controlTag, bitmap), offset(bitmapOffset),
      heightOfOneImage(imageHeight) {}

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
