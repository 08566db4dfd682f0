// Two-state buttons drawn from a bitmap with the states stacked vertically (value 0 on top).
#pragma once

#include "gui/ccontrol.h"

// Toggles between 0 and 1 on each click.
class COnOffButton : public CControl {
  public:
    COnOffButton(const CRect& rect, CControlListener* controlListener, long controlTag, CBitmap* bitmap,
                 long buttonStyle = 0);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;

    long getStyle() const { return style; }

  private:
    long style;
};

// Shows 1 while pressed and reports once per click, on the release (wherever it happens), with value 0.
class CKickButton : public CControl {
  public:
    CKickButton(const CRect& rect, CControlListener* controlListener, long controlTag, CBitmap* bitmap,
                const CPoint& bitmapOffset = CPoint(0, 0));
    CKickButton(const CRect& rect, CControlListener* controlListener, long controlTag, CCoord imageHeight,
                CBitmap* bitmap, const CPoint& bitmapOffset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;

  private:
    CPoint offset;
    CCoord heightOfOneImage;
};
