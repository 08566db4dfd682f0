// A click area that shows an image over the frame (value 1) until the next click hides it (value 0).
#pragma once

#include "gui/ccontrol.h"

class CSplashScreen : public CControl {
  public:
    CSplashScreen(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                  const CRect& toDisplay, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    long onKeyDown(CKeyCode& keyCode) override;
    void removed() override;

  private:
    void show();
    void hide();

    CRect clickArea;
    CRect toDisplay;
    CPoint offset;
};
