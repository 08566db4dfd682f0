#include "gui/cknob.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

#include <algorithm>
#include <cmath>

CKnob::CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* handle,
             const CPoint& offset)
    : CControl(size, listener, tag, background), handle(handle), offset(offset) {
    if (handle) handle->remember();
    wheelIncrement = 0.02f;
}

CKnob::~CKnob() {
    if (handle) handle->forget();
}

void CKnob::draw(CDrawContext* context) {
    if (background) background->draw(context, size, offset);
    if (handle) {
        // The handle travels from 7 to 5 o'clock around the centre.
        double angle = (0.75 + 1.5 * std::clamp(getValue(), 0.0f, 1.0f)) * M_PI;
        double radius = std::min(size.width(), size.height()) / 2 - handle->getWidth();
        double x = size.left + size.width() / 2 + radius * std::cos(angle) - handle->getWidth() / 2;
        double y = size.top + size.height() / 2 + radius * std::sin(angle) - handle->getHeight() / 2;
        handle->draw(context, CRect(x, y, x + handle->getWidth(), y + handle->getHeight()));
    }
    setDirty(false);
}

void CKnob::changeValueTo(float newValue) {
    newValue = std::clamp(newValue, minimum, maximum);
    if (newValue == getValue()) return;
    setValue(newValue);
    valueChanged();
}

CMouseEventResult CKnob::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    if (buttons & kControl) {
        changeValueTo(defaultValue);
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    dragAnchor = where;
    lastPoint = where;
    valueAtAnchor = getValue();
    fineDrag = (buttons & kShift) != 0;
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseMoved(CPoint& where, const long& buttons) {
    if (!isEditing() || !(buttons & kLButton)) return kMouseEventNotHandled;
    bool fine = (buttons & kShift) != 0;
    if (fine != fineDrag) {
        // Pressing or releasing Shift mid-drag continues from where the knob is, without a jump.
        fineDrag = fine;
        dragAnchor = lastPoint;
        valueAtAnchor = getValue();
    }
    lastPoint = where;
    CCoord pixels = dragRange * (fineDrag ? kFineFactor : 1.0f);
    float travelled = static_cast<float>((dragAnchor.v - where.v) / pixels) * (maximum - minimum);
    float target = std::clamp(valueAtAnchor + travelled, minimum, maximum);
    if (target == minimum || target == maximum) {
        // Past an end the anchor follows, so that turning back responds at once.
        dragAnchor = where;
        valueAtAnchor = target;
    }
    changeValueTo(target);
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseUp(CPoint& where, const long& buttons) {
    endEdit();
    return kMouseEventHandled;
}

bool CKnob::onWheel(const CPoint& where, const float& distance, const long& buttons) {
    float step = wheelIncrement * ((buttons & kShift) ? 1.0f / kFineFactor : 1.0f);
    beginEdit();
    changeValueTo(getValue() + distance * step * (maximum - minimum));
    endEdit();
    return true;
}

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                     CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CKnob(size, listener, tag, background, nullptr, offset), subPixmaps(std::max(1L, subPixmaps)),
      heightOfOneImage(heightOfOneImage) {}

long CAnimKnob::getFrameIndex() const {
    float range = maximum - minimum;
    float normalised = range > 0 ? (getValue() - minimum) / range : 0.0f;
    if (!std::isfinite(normalised)) normalised = 0.0f; // a host may send NaN; never cast it to an index
    long index = static_cast<long>(std::clamp(normalised, 0.0f, 1.0f) * (subPixmaps - 1) + 0.5f);
    return std::clamp(index, 0L, subPixmaps - 1);
}

void CAnimKnob::draw(CDrawContext* context) {
    if (background) background->draw(context, size, CPoint(0, heightOfOneImage * getFrameIndex()));
    setDirty(false);
}
