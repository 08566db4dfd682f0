// The analyser view drawn offscreen over a plain backdrop: pixel probes of both modes.
#include "dsp/display_feed.h"
#include "editor/wavedisplay.h"
#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <cmath>
#include <memory>

namespace {

constexpr int kLeft = 407, kTop = 295, kWidth = 377, kHeight = 219;
constexpr int kCx = kWidth / 2, kCy = kHeight / 2;
constexpr int kGrey = 200;

struct Rgb {
    int red, green, blue;
};

struct AnalyserProbe : ::testing::Test {
    void SetUp() override {
        cairo_surface_t* plain = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 828, 554);
        cairo_t* cr = cairo_create(plain);
        cairo_set_source_rgb(cr, kGrey / 255.0, kGrey / 255.0, kGrey / 255.0);
        cairo_paint(cr);
        cairo_destroy(cr);
        backdrop = new CBitmap(plain);
        cairo_surface_destroy(plain);
        target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 828, 554);
        context = std::make_unique<CDrawContext>(target);
        feed = std::make_unique<DisplayFeed>();
        feed->reset();
        view = new Wavedisplay(CRect(kLeft, kTop, kLeft + kWidth, kTop + kHeight), backdrop, feed->levelDisp,
                               feed->phaseDisp, feed->peakDisp, feed->magDisp);
    }
    void TearDown() override {
        view->forget();
        context.reset();
        cairo_surface_destroy(target);
        backdrop->forget();
    }
    void draw(int times = 1) {
        for (int i = 0; i < times; ++i)
            view->draw(context.get());
    }
    // A pixel in view coordinates.
    Rgb at(int x, int y) {
        cairo_surface_flush(target);
        const unsigned char* data = cairo_image_surface_get_data(target);
        const int stride = cairo_image_surface_get_stride(target);
        const uint32_t value =
            *reinterpret_cast<const uint32_t*>(data + (kTop + y) * stride + 4 * (kLeft + x));
        return Rgb{static_cast<int>((value >> 16) & 255), static_cast<int>((value >> 8) & 255),
                   static_cast<int>(value & 255)};
    }
    int brightest(int left, int top, int right, int bottom) {
        int best = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                best = std::max(best, at(x, y).red);
        return best;
    }
    int darkest(int left, int top, int right, int bottom) {
        int best = 255;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                best = std::min(best, at(x, y).red);
        return best;
    }

    CBitmap* backdrop = nullptr;
    cairo_surface_t* target = nullptr;
    std::unique_ptr<CDrawContext> context;
    std::unique_ptr<DisplayFeed> feed;
    Wavedisplay* view = nullptr;
};

// Black at the given alpha over the grey backdrop.
int shaded(int alpha) {
    return static_cast<int>(std::lround(kGrey * (1.0 - alpha / 255.0)));
}

TEST_F(AnalyserProbe, SpectrumAfterResetShowsOnlyBackdropGridAndLabels) {
    draw();
    EXPECT_FALSE(view->isDirty());
    for (auto [x, y] : {std::pair{200, 150}, std::pair{330, 110}, std::pair{100, 185}})
        EXPECT_NEAR(at(x, y).red, kGrey, 1) << x << "," << y;
    EXPECT_NEAR(at(205, 150).red, shaded(64), 3);           // vertical grid line
    EXPECT_NEAR(at(200, 149).red, shaded(64), 3);           // horizontal grid line
    EXPECT_LT(darkest(5, 0, 40, 19), kGrey - 30);           // "125Hz"
    EXPECT_LT(darkest(5, 24 * 9, 40, kHeight), kGrey - 30); // "-48dB", the last level label
    EXPECT_NEAR(darkest(45, 60, 50, 70), kGrey, 40);        // no label between the columns
}

TEST_F(AnalyserProbe, SpectrumColumnsDarkenUpToLevelAndFainterUpToPeak) {
    feed->levelDisp[100].store(0.0f);
    feed->peakDisp[100].store(0.0f);
    feed->levelDisp[120].store(150.0f);
    feed->peakDisp[120].store(50.0f);
    feed->levelDisp[140].store(NAN); // never drawn, never a crash
    draw();
    for (int y : {1, 60, 150, 218})
        EXPECT_NEAR(at(100, y).red, shaded(128), 3) << y;
    EXPECT_NEAR(at(101, 162).red, kGrey, 1);
    EXPECT_NEAR(at(120, 180).red, shaded(128), 3);
    EXPECT_NEAR(at(120, 88).red, shaded(64), 3);
    EXPECT_NEAR(at(120, 40).red, kGrey, 1);
    EXPECT_NEAR(at(140, 185).red, kGrey, 1);
}

TEST_F(AnalyserProbe, ScopeAfterResetShowsPanelLegendAndLabelsButNoTrails) {
    view->displayMode = AnalyserMode::Scope;
    draw(5);
    const Rgb upper = at(kCx, kCy - 60), lower = at(kCx, kCy + 60);
    EXPECT_EQ(upper.red, 26);
    EXPECT_EQ(upper.green, 21);
    EXPECT_EQ(upper.blue, 15);
    EXPECT_EQ(lower.red, 13);
    EXPECT_EQ(lower.green, 10);
    EXPECT_EQ(lower.blue, 7);
    // The colour legend: red at the top (low frequencies), blue at the bottom.
    const Rgb top = at(5, 10), bottom = at(5, 210);
    EXPECT_GT(top.red, 120);
    EXPECT_LT(top.blue, 30);
    EXPECT_GT(bottom.blue, 110);
    EXPECT_LT(bottom.red, 20);
    // Faint labels at their places, nothing where there is none.
    EXPECT_GT(brightest(kCx - 20, 8, kCx + 20, 18), 40);                     // "0 mono"
    EXPECT_GT(brightest(kCx - 12, kHeight - 16, kCx + 12, kHeight - 6), 30); // "180"
    EXPECT_GT(brightest(83, kCy - 6, 100, kCy + 4), 40);                     // "-90"
    EXPECT_GT(brightest(275, kCy - 6, 290, kCy + 4), 40);                    // "90"
    for (int j = 0; j < 7; ++j)
        EXPECT_GT(brightest(12, 8 + 32 * j, 40, 18 + 32 * j), 35) << "legend " << j;
    EXPECT_LE(brightest(274, 16, 282, 22), 27);
    for (auto [x, y] : {std::pair{kCx, kCy - 30}, std::pair{kCx + 30, kCy}, std::pair{kCx, kCy + 30}})
        EXPECT_LE(brightest(x - 1, y - 1, x + 2, y + 2), 26);
}

TEST_F(AnalyserProbe, ScopeTrailsDriftOutwardsAtTheirAngleInTheirColumnsColour) {
    feed->magDisp[50].store(1.0f);
    feed->phaseDisp[50].store(0.0f); // in phase: up towards "0 mono"
    feed->magDisp[300].store(1.0f);
    feed->phaseDisp[300].store(static_cast<float>(M_PI / 2)); // right channel only: towards "90"
    feed->magDisp[200].store(0.05f);
    feed->phaseDisp[200].store(static_cast<float>(M_PI)); // too small a share to leave a trail
    view->displayMode = AnalyserMode::Scope;
    draw(40);
    // Forty draws reach about 210 * 40 / 128 = 65 pixels out.
    const Rgb up = at(kCx, kCy - 30);
    EXPECT_GT(up.red, 200); // rainbow of t = 1 - 50/377: orange
    EXPECT_GT(up.green, 100);
    EXPECT_LT(up.green, 170);
    EXPECT_LT(up.blue, 40);
    EXPECT_LE(brightest(kCx - 1, kCy - 76, kCx + 2, kCy - 70), 27); // not yet that far
    const Rgb right = at(kCx + 30, kCy);
    EXPECT_LT(right.red, 30); // t = 1 - 300/377: blue-cyan
    EXPECT_GT(right.blue, 200);
    EXPECT_LE(brightest(kCx - 1, kCy + 20, kCx + 2, kCy + 40), 26);
    // Changing the mode keeps the trails; the spectrum does not move them.
    view->displayMode = AnalyserMode::Spectrum;
    draw(10);
    view->displayMode = AnalyserMode::Scope;
    draw();
    EXPECT_GT(at(kCx, kCy - 30).red, 200);
}

TEST_F(AnalyserProbe, ChangingTheBackgroundAloneDoesNotRepaint) {
    draw();
    view->changebackground(nullptr);
    EXPECT_FALSE(view->isDirty());
}

TEST(RainbowColor, RunsFromBlueThroughCyanGreenAndYellowToRed) {
    struct Case {
        float t;
        uint8_t red, green, blue;
    };
    for (Case c : {Case{0.0f, 0, 0, 255}, Case{0.125f, 0, 127, 255}, Case{0.375f, 0, 255, 127},
                   Case{0.625f, 127, 255, 0}, Case{0.875f, 255, 127, 0}, Case{1.0f, 255, 255, 0},
                   Case{1.5f, 255, 255, 255}}) {
        const CColor colour = rainbowColor(c.t, 77);
        EXPECT_EQ(colour, (CColor{c.red, c.green, c.blue, 77})) << c.t;
    }
}

} // namespace
