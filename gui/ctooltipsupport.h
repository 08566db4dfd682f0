// Shows a view's tooltip text (kCViewTooltipAttribute) once the pointer has rested on it for the delay.
#pragma once

#include "gui/cframe.h"

#include <string>
#include <vector>

class CTooltipSupport : public IMouseObserver {
  public:
    // Attaches itself to the frame, which owns it from then on and releases it when it is destroyed.
    CTooltipSupport(CFrame* frame, CBitmap* background = nullptr, long delayMs = 1000);

    void onMouseDown(CFrame* frame, const CPoint& where) override;
    void onIdle(CFrame* frame) override;
    void drawOverlay(CDrawContext* context) override;

    bool isShowing() const { return shownFor != nullptr; }
    const std::string& getShownText() const { return text; }
    const CRect& getTooltipRect() const { return area; }
    long getDelay() const { return delay; }

  private:
    void show(CFrame* frame, CView* view);
    void hide(CFrame* frame);

    long delay;
    CView* shownFor = nullptr;
    std::chrono::steady_clock::time_point restingSince;
    std::string text;
    std::vector<std::string> lines;
    CRect area;
    bool suppressed = false;
};
