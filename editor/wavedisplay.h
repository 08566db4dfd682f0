// The analyser view: a spectrum or a phase scope with drifting coloured trails,
// painted from the display feed the audio path publishes.
#pragma once

#include <atomic>
#include <cstdint>

#include "editor/analyser_mode.h"
#include "gui/cview.h"

class CBitmap;

class Wavedisplay : public CView {
  public:
    static constexpr int kTrailEntries = 256; // ring of history entries per column
    static constexpr int kTrailDrawn = 128;   // entries drawn, the newest at the centre
    static constexpr int kMaxColumns = 512;   // the view is at most 511 pixels wide

    // The feed arrays are read while the audio thread writes them, hence atomics (relaxed).
    Wavedisplay(const CRect& size, CBitmap* background, const std::atomic<float>* levelDisp,
                const std::atomic<float>* phaseDisp, const std::atomic<float>* peakDisp,
                const std::atomic<float>* magDisp);
    ~Wavedisplay() override;

    // Replaces the image painted under the analyser; shown from the next draw on.
    void changebackground(CBitmap* background) { backdrop = background; }
    void draw(CDrawContext* context) override;

    // The editor writes it directly.
    AnalyserMode displayMode = AnalyserMode::Spectrum;

  private:
    void drawSpectrum(CDrawContext* context, int w, int h);
    void drawScope(CDrawContext* context, int w, int h);

    CBitmap* backdrop; // not reference-counted here
    const std::atomic<float>* levelDisp;
    const std::atomic<float>* phaseDisp;
    const std::atomic<float>* peakDisp;
    const std::atomic<float>* magDisp;
    int64_t trailX[kTrailEntries][kMaxColumns];
    int64_t trailY[kTrailEntries][kMaxColumns];
    int64_t trailAlpha[kTrailEntries][kMaxColumns];
    int64_t trailPos[kMaxColumns];
};

// The analyser's colour scale: blue at t = 0 (high frequencies), then cyan, green, yellow, red near 1.
CColor rainbowColor(float t, uint8_t alpha);
// The frequency labels of both modes.
extern const char* const hzst[7];
