#include "editor/wavedisplay.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

const char* const hzst[7] = {"125Hz", "250Hz", "500Hz", "1kHz", "2kHz", "4kHz", "8kHz"};

namespace {

constexpr float kTrailRadius = 210.0f;

float load(const std::atomic<float>* array, int index) {
    return array[index].load(std::memory_order_relaxed);
}

// A feed value as a pixel row; values the feed should never hold (NaN, huge) land below the view.
int pixelRow(float value, int h) {
    if (!(value > -1.0e6f && value < 1.0e6f)) return 2 * h;
    return static_cast<int>(value);
}

CPoint point(int x, int y) {
    return CPoint(x, y);
}

} // namespace

CColor rainbowColor(float t, uint8_t alpha) {
    const int band = static_cast<int>(t * 3.99999f);
    const float f = t * 4.0f - std::trunc(t * 4.0f);
    float red = 1, green = 1, blue = 1;
    switch (band) {
    case 0:
        red = 0, green = f, blue = 1;
        break;
    case 1:
        red = 0, green = 1, blue = 1 - f;
        break;
    case 2:
        red = f, green = 1, blue = 0;
        break;
    case 3:
        red = 1, green = 1 - f, blue = 0;
        break;
    default:
        break;
    }
    return CColor{static_cast<uint8_t>(red * 255), static_cast<uint8_t>(green * 255),
                  static_cast<uint8_t>(blue * 255), alpha};
}

Wavedisplay::Wavedisplay(const CRect& size, CBitmap* background, const std::atomic<float>* levelDisp,
                         const std::atomic<float>* phaseDisp, const std::atomic<float>* peakDisp,
                         const std::atomic<float>* magDisp)
    : CView(size), backdrop(background), levelDisp(levelDisp), phaseDisp(phaseDisp), peakDisp(peakDisp),
      magDisp(magDisp) {
    std::memset(trailPos, 0, sizeof(trailPos));
    std::memset(trailX, 0, sizeof(trailX));
    std::memset(trailY, 0, sizeof(trailY));
    std::memset(trailAlpha, 0, sizeof(trailAlpha));
    CView::setBackground(background);
    setMouseEnabled(true);
    setDirty(true);
}

Wavedisplay::~Wavedisplay() = default;

void Wavedisplay::draw(CDrawContext* context) {
    // The columns index the feed up to the width.
    const int w = std::min(static_cast<int>(getWidth()), kMaxColumns - 1);
    const int h = static_cast<int>(getHeight());
    COffscreenContext offscreen(getFrame(), w, h, CColor{0, 0, 0, 128});
    if (backdrop) backdrop->draw(&offscreen, CRect(0, 0, w, h), CPoint(size.left, size.top));
    offscreen.setDrawMode(kAntialias);
    offscreen.setFontColor(CColor{0, 0, 0, 128});
    offscreen.setFont(kNormalFont, 10, 0);
    if (displayMode == AnalyserMode::Spectrum)
        drawSpectrum(&offscreen, w, h);
    else
        drawScope(&offscreen, w, h);
    offscreen.copyFrom(context, CRect(size.left, size.top, size.left + w, size.top + h), CPoint(0, 0));
    setDirty(false);
}

void Wavedisplay::drawSpectrum(CDrawContext* context, int w, int h) {
    for (int j = 0; j < 7 && 5 + 50 * j < w; ++j) {
        const int x = 5 + 50 * j;
        context->drawString(hzst[j], CRect(x, 0, x + w, h - 200), false, kLeftText);
    }
    for (int j = 0; 24 * (j + 1) < h; ++j) {
        char text[32];
        std::snprintf(text, sizeof(text), "-%ddB", 6 * j);
        const int top = 24 * (j + 1);
        context->drawString(text, CRect(5, top, w + 5, top + h - 200), false, kLeftText);
    }
    context->setFrameColor(CColor{0, 0, 0, 64});
    for (int x = 5; x < w; x += 50)
        context->drawLine(point(x, 0), point(x, h));
    for (int y = 5; y < h; y += 24)
        context->drawLine(point(0, y), point(w, y));
    context->setFrameColor(CColor{0, 0, 0, 16});
    for (int y = 7; y < 2 * h; y += 24)
        context->drawLine(point(0, y), point(w, y - 180));
    for (int x = 0; x < w; ++x) {
        const int level = pixelRow(load(levelDisp, x), h);
        const int peak = pixelRow(load(peakDisp, x), h);
        context->setFrameColor(CColor{0, 0, 0, 128});
        context->drawLine(point(x, h), point(x, level));
        context->setFrameColor(CColor{0, 0, 0, 64});
        context->drawLine(point(x, level), point(x, peak));
    }
}

void Wavedisplay::drawScope(CDrawContext* context, int w, int h) {
    const int cx = w / 2, cy = h / 2;
    context->setLineWidth(1);
    context->setFillColor(CColor{26, 21, 15, 255});
    context->fillRect(CRect(0, 0, w, h / 2 + 5));
    context->setFillColor(CColor{13, 10, 7, 255});
    context->fillRect(CRect(0, h / 2 + 4, w, h));

    context->setFrameColor(CColor{255, 255, 255, 32});
    for (int radius = 208; radius > 0; radius -= 32)
        context->drawEllipse(CRect(cx - radius, cy - radius, cx + radius, cy + radius), kDrawStroked);

    context->setFontColor(CColor{255, 255, 255, 32});
    for (int j = 0; j < 7 && 8 + 32 * j < h; ++j)
        context->drawString(hzst[j], CRect(12, 8 + 32 * j, w, 18 + 32 * j), false, kLeftText);
    context->drawString("0 mono", CRect(0, 8, w, 18), false, kCenterText);
    context->drawString("180", CRect(0, h - 16, w, h - 6), false, kCenterText);
    context->drawString("-90", CRect(83, h / 2 - 6, w, h / 2 + 4), false, kLeftText);
    context->drawString("90", CRect(275, h / 2 - 6, w, h / 2 + 4), false, kLeftText);

    for (int y = 1; y < h; ++y) {
        context->setFrameColor(rainbowColor(1.0f - static_cast<float>(y) / h, 128));
        context->drawLine(point(0, y), point(10, y));
    }
    context->setDrawMode(kCopyMode);

    float energy = 0;
    for (int x = 0; x < w; ++x) {
        const float magnitude = load(magDisp, x);
        energy += magnitude * magnitude;
    }
    for (int c = w; c >= 1; --c) {
        const float magnitude = load(magDisp, c);
        int64_t alpha = 0;
        if (energy > 0) {
            const float share = magnitude * magnitude * 4000.0f / energy;
            alpha = share >= 255.0f ? 255 : share > 0.0f ? static_cast<int64_t>(share) : 0;
        }
        float phase = load(phaseDisp, c);
        if (!std::isfinite(phase)) phase = 0;
        const int64_t p = trailPos[c];
        trailAlpha[p][c] = alpha;
        trailX[p][c] = static_cast<int64_t>(kTrailRadius * std::sin(phase));
        trailY[p][c] = -static_cast<int64_t>(kTrailRadius * std::cos(phase));
        const CColor colour = rainbowColor(1.0f - static_cast<float>(c) / w, 255);
        context->moveTo(point(cx, cy));
        for (int j = 0; j < kTrailDrawn; ++j) {
            const int e = static_cast<int>((p + j) % kTrailEntries);
            const int older = (e + 1) % kTrailEntries;
            if (trailAlpha[e][c] <= 20) continue;
            const float px = static_cast<float>(trailX[e][c]) * j / kTrailDrawn;
            const float py = static_cast<float>(trailY[e][c]) * j / kTrailDrawn;
            const float qx = static_cast<float>(trailX[older][c]) * (j + 1) / kTrailDrawn;
            const float qy = static_cast<float>(trailY[older][c]) * (j + 1) / kTrailDrawn;
            // Long segments are jumps of the angle, not trails.
            if (std::sqrt((qx - px) * (qx - px) + (qy - py) * (qy - py)) >= j) continue;
            context->setFrameColor(
                CColor{colour.red, colour.green, colour.blue, static_cast<uint8_t>(trailAlpha[e][c])});
            context->drawLine(point(cx + static_cast<int>(qx), cy + static_cast<int>(qy)),
                              point(cx + static_cast<int>(px), cy + static_cast<int>(py)));
        }
        trailPos[c] = p - 1 < 0 ? kTrailEntries - 1 : p - 1;
    }
}
