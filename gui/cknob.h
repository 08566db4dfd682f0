// Knobs: vertical drag (finer with Shift), wheel steps, Ctrl-click to the default value.
#pragma once

#include "gui/ccontrol.h"

class CKnob : public CControl {
  public:
    CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* handle,
          const CPoint& offset = CPoint(0, 0));
    ~CKnob() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;

    // Shift makes drags and wheel steps this many times finer.
    static constexpr float kFineFactor = 10.0f;

  protected:
    // Sets, clamps and reports a new value from a user action.
    void changeValueTo(float newValue);

    CBitmap* handle;
    CPoint offset;
    CCoord dragRange = 200; // pixels of vertical travel for the whole range
    CPoint dragAnchor;
    CPoint lastPoint;
    float valueAtAnchor = 0;
    bool fineDrag = false;
};

// A knob drawn from a film strip of sub-images stacked vertically.
class CAnimKnob : public CKnob {
  public:
    CAnimKnob(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
              CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    // The sub-image shown for the current value.
    long getFrameIndex() const;

  private:
    long subPixmaps;
    CCoord heightOfOneImage;
};
