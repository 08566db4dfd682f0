// The widget layer drawn offscreen, without an X server: sub-images per value, menus, splash screen,
// drawing primitives, mouse and key handling, redraw economy, and the screenshot of the whole frame.
#include "gui_test_frame.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

struct OffscreenFrame : ::testing::Test {
    void SetUp() override {
        frame = new CFrame(CRect(0, 0, bitmaps.background->getWidth(), bitmaps.background->getHeight()),
                           nullptr, &editor);
        layout = buildEditorLayout(frame, bitmaps, &listener);
        frame->idle();
    }
    void TearDown() override { delete frame; }

    // What the area of the frame must show: the background with one sub-image of the bitmap over it.
    void expectSubImage(const CRect& area, CBitmap* bitmap, CCoord subImageTop) {
        expectImagePart(area, bitmap, CPoint(0, subImageTop));
    }
    void expectImagePart(const CRect& area, CBitmap* bitmap, const CPoint& offset) {
        COffscreenContext expected(nullptr, static_cast<long>(area.width()),
                                   static_cast<long>(area.height()));
        CRect local(0, 0, area.width(), area.height());
        bitmaps.background->draw(&expected, local, area.getTopLeft());
        bitmap->draw(&expected, local, offset);
        cairo_surface_t* image = expected.getSurface();
        cairo_surface_flush(image);
        const unsigned char* data = cairo_image_surface_get_data(image);
        int stride = cairo_image_surface_get_stride(image);
        int mismatches = 0;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                unsigned want = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) & 0xffffff;
                mismatches +=
                    pixelAt(frame, static_cast<int>(area.left) + x, static_cast<int>(area.top) + y) != want;
            }
        }
        EXPECT_EQ(mismatches, 0) << "image part at " << offset.h << ", " << offset.v;
    }

    CPoint centreOf(CView* view) {
        const CRect& r = view->getViewSize();
        return CPoint(r.left + r.width() / 2, r.top + r.height() / 2);
    }

    void click(const CPoint& at, long modifiers = 0) {
        CPoint where = at;
        frame->onMouseDown(where, kLButton | modifiers);
        frame->onMouseUp(where, modifiers);
    }

    EditorBitmaps bitmaps;
    RecordingListener listener;
    RecordingEditor editor;
    CFrame* frame = nullptr;
    EditorLayout layout;
};

TEST_F(OffscreenFrame, BitmapsHaveTheSizesTheLayoutNeeds) {
    EXPECT_GE(bitmaps.background->getWidth(), 828);
    EXPECT_GE(bitmaps.background->getHeight(), 554);
    EXPECT_EQ(bitmaps.knob->getWidth(), 42);
    EXPECT_EQ(bitmaps.knob->getHeight(), 42 * 256);
    EXPECT_EQ(bitmaps.button->getWidth(), 18);
    EXPECT_EQ(bitmaps.button->getHeight(), 36);
    EXPECT_LE(bitmaps.led->getHeight() / 2, 14);
    EXPECT_EQ(bitmaps.led->getWidth(), bitmaps.ledRed->getWidth());
    EXPECT_TRUE(bitmaps.about->isLoaded());
    EXPECT_FALSE(CBitmap(4711).isLoaded());
}

TEST_F(OffscreenFrame, KnobShowsTheSubImageOfItsValue) {
    CAnimKnob* volume = layout.knobs[18];
    ASSERT_EQ(volume->getTag(), 0);
    EXPECT_EQ(volume->getViewSize(), CRect(334, 44, 376, 86));
    for (float value : {0.0f, 0.25f, 0.5f, 1.0f}) {
        volume->setValue(value);
        frame->idle();
        long index = static_cast<long>(value * 255 + 0.5f);
        EXPECT_EQ(volume->getFrameIndex(), index);
        expectSubImage(volume->getViewSize(), bitmaps.knob, 42.0 * index);
    }
}

TEST_F(OffscreenFrame, ButtonsAndLedsShowTopStateForZeroAndBottomForOne) {
    for (CControl* control :
         std::initializer_list<CControl*>{layout.bypass, layout.next, layout.leds[0], layout.leds[4]}) {
        CBitmap* bitmap = control == layout.leds[0]   ? bitmaps.led
                          : control == layout.leds[4] ? bitmaps.ledRed
                                                      : bitmaps.button;
        for (float value : {0.0f, 1.0f}) {
            control->setValue(value);
            frame->idle();
            expectSubImage(control->getViewSize(), bitmap, value * control->getHeight());
        }
    }
    // A lit LED (value 0) is brighter than a dark one.
    layout.leds[0]->setValue(0);
    layout.leds[1]->setValue(1);
    frame->idle();
    EXPECT_GT(meanBrightness(frame, layout.leds[0]->getViewSize()),
              meanBrightness(frame, layout.leds[1]->getViewSize()) + 40);
}

TEST_F(OffscreenFrame, KnobDragIsVerticalLinearAndFinerWithShift) {
    CAnimKnob* knob = layout.knobs[0]; // EqLow, tag 14
    knob->setValue(0.5f);
    CPoint where = centreOf(knob);
    frame->onMouseDown(where, kLButton);
    CPoint up(where.h + 30, where.v - 40); // horizontal movement does nothing
    frame->onMouseMoved(up, kLButton);
    EXPECT_NEAR(knob->getValue(), 0.7f, 1e-5);
    CPoint fine(up.h, up.v - 40);
    frame->onMouseMoved(fine, kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), 0.72f, 1e-5); // ten times finer from where Shift was pressed, no jump
    CPoint finer(fine.h, fine.v - 40);
    frame->onMouseMoved(finer, kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), 0.74f, 1e-5);
    CPoint far(finer.h, finer.v + 1000);
    frame->onMouseMoved(far, kLButton);
    EXPECT_EQ(knob->getValue(), 0.0f);
    CPoint back(far.h, far.v - 20);
    frame->onMouseMoved(back, kLButton); // past the end the knob turns back at once
    EXPECT_NEAR(knob->getValue(), 0.1f, 1e-5);
    frame->onMouseUp(back, 0);

    ASSERT_GE(listener.events.size(), 3u);
    EXPECT_EQ(listener.events.front(), "begin 14");
    EXPECT_EQ(listener.events.back(), "end 14");
    EXPECT_EQ(listener.count("value 14"), 5);
    EXPECT_EQ(editor.events, (std::vector<std::string>{"begin 14", "end 14"}));
}

TEST_F(OffscreenFrame, WheelStepsAndControlClickResetsWithPairedEdits) {
    CAnimKnob* knob = layout.knobs[18];
    knob->setValue(0.5f);
    CPoint where = centreOf(knob);
    frame->onWheel(where, 1.0f, 0);
    EXPECT_NEAR(knob->getValue(), 0.52f, 1e-5);
    frame->onWheel(where, -1.0f, kShift);
    EXPECT_NEAR(knob->getValue(), 0.518f, 1e-5);
    knob->setDefaultValue(0.25f);
    click(where, kControl);
    EXPECT_EQ(knob->getValue(), 0.25f);
    EXPECT_EQ(editor.events,
              (std::vector<std::string>{"begin 0", "end 0", "begin 0", "end 0", "begin 0", "end 0"}));
    EXPECT_EQ(listener.count("value 0"), 3);
}

TEST_F(OffscreenFrame, KickButtonReportsOnceOnReleaseWhereverItHappens) {
    CPoint where = centreOf(layout.next);
    frame->onMouseDown(where, kLButton);
    EXPECT_EQ(layout.next->getValue(), 1.0f);
    EXPECT_EQ(listener.count("value"), 0);
    CPoint away(600, 400);
    frame->onMouseMoved(away, kLButton);
    EXPECT_EQ(layout.next->getValue(), 0.0f);
    frame->onMouseUp(away, 0);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"begin 101", "value 101 0", "end 101"}));
}

TEST_F(OffscreenFrame, OnOffButtonToggles) {
    CPoint where = centreOf(layout.mono);
    click(where);
    click(where);
    click(where);
    EXPECT_EQ(listener.values, (std::vector<float>{1, 0, 1}));
    EXPECT_EQ(editor.events.size(), 6u);
}

TEST_F(OffscreenFrame, OptionMenuEntriesCurrentAndChecks) {
    COptionMenu* menu = layout.fileMenu;
    EXPECT_EQ(menu->getNbEntries(), 9);
    EXPECT_TRUE(menu->getEntry(2)->isSeparator());
    EXPECT_TRUE(menu->setCurrent(3, false)); // the fourth real entry: "Save bank"
    EXPECT_EQ(menu->getValue(), 4.0f);
    EXPECT_EQ(menu->getCurrent(nullptr, false), 3);
    EXPECT_FALSE(menu->setCurrent(2)); // a separator cannot be current
    menu->removeEntry(8);
    menu->addEntry("Visit elsewhere", 0);
    EXPECT_STREQ(menu->getEntry(0)->getTitle(), "Visit elsewhere");
    EXPECT_STREQ(menu->getEntry(1)->getTitle(), "Load preset");

    COptionMenu* list = layout.programList;
    list->checkEntryAlone(5);
    list->checkEntryAlone(7);
    EXPECT_FALSE(list->isCheckEntry(5));
    EXPECT_TRUE(list->isCheckEntry(7));
    list->removeAllEntry();
    EXPECT_EQ(list->getNbEntries(), 0);
    EXPECT_FALSE(list->popup());
}

TEST_F(OffscreenFrame, MenuShowsItsCurrentEntryAndNoDrawMenuDrawsNothing) {
    CRect display(60, 62, 290, 90);
    double withName = meanBrightness(frame, display);
    layout.programList->removeAllEntry();
    layout.programList->addEntry("W");
    layout.programList->setCurrent(0);
    frame->idle();
    EXPECT_GT(meanBrightness(frame, display), withName + 2); // a shorter name leaves more lit screen
    // The file menu's rectangle shows the background artwork only (left of the bypass button over it).
    layout.fileMenu->setCurrent(8);
    frame->idle();
    expectImagePart(CRect(294, 11, 340, 27), bitmaps.background, CPoint(294, 11));
}

TEST_F(OffscreenFrame, PopupShowsCheckMarkAndCurrentEntryAndPicksWithMouse) {
    COptionMenu* list = layout.programList;
    list->setCurrent(33);
    list->checkEntryAlone(33);
    click(centreOf(list));
    ASSERT_TRUE(list->isPopupOpen());
    frame->idle();
    auto* popup = dynamic_cast<CMenuPopup*>(frame->getModalView());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->getHighlighted(), 33);
    // 128 entries in columns of 32: entry 33 is the second of the second column.
    CRect current = popup->entryRect(33), first = popup->entryRect(0), other = popup->entryRect(34);
    EXPECT_EQ(current.left, first.left + first.width());
    EXPECT_EQ(current.top, first.top + popup->getItemHeight());
    // All 32 rows fit into the frame's height.
    EXPECT_LE(popup->entryRect(31).bottom, frame->getViewSize().bottom);
    EXPECT_GE(popup->entryRect(0).top, frame->getViewSize().top);
    EXPECT_LE(popup->entryRect(127).right, frame->getViewSize().right);
    auto redness = [&](const CRect& r) {
        unsigned pixel = pixelAt(frame, static_cast<int>(r.left + 9), static_cast<int>(r.top + 12));
        return static_cast<int>((pixel >> 16) & 255) - static_cast<int>(pixel & 255);
    };
    EXPECT_GT(meanBrightness(frame, current), meanBrightness(frame, other) + 40); // highlighted
    CRect checkArea(first.left + 4, first.top + 4, first.left + 16, first.top + 14);
    list->checkEntryAlone(0);
    frame->invalidRect(popup->getViewSize());
    frame->idle();
    EXPECT_GT(meanBrightness(frame, checkArea),
              meanBrightness(frame, CRect(other.left + 4, other.top + 4, other.left + 16, other.top + 14)) +
                  20);
    EXPECT_GT(redness(first), 60); // the amber tick
    // A click on an entry picks it and closes the popup.
    CPoint entry(other.left + 40, other.top + 9);
    click(entry);
    EXPECT_FALSE(list->isPopupOpen());
    EXPECT_EQ(list->getValue(), 34.0f);
    EXPECT_EQ(listener.count("value 100 34"), 1);
    frame->idle();
    EXPECT_EQ(frame->getModalView(), nullptr);
}

TEST_F(OffscreenFrame, PopupWorksWithKeysAndClosesOnEscapeOrOutsideClick) {
    COptionMenu* menu = layout.fileMenu;
    menu->setCurrent(0);
    click(centreOf(menu));
    ASSERT_TRUE(menu->isPopupOpen());
    CKeyCode down{0, VKEY_DOWN, 0}, enter{0, VKEY_RETURN, 0}, escape{0, VKEY_ESCAPE, 0};
    frame->onKeyDown(down);
    frame->onKeyDown(down); // skips the separator
    auto* popup = dynamic_cast<CMenuPopup*>(frame->getModalView());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->getHighlighted(), 3);
    frame->onKeyDown(enter);
    EXPECT_EQ(listener.count("value 105 3"), 1);
    EXPECT_FALSE(menu->isPopupOpen());

    click(centreOf(menu));
    frame->onKeyDown(escape);
    EXPECT_FALSE(menu->isPopupOpen());
    click(centreOf(menu));
    click(CPoint(700, 500));
    EXPECT_FALSE(menu->isPopupOpen());
    EXPECT_EQ(listener.count("value 105"), 1);
}

TEST_F(OffscreenFrame, SplashScreenShowsItsImageOverTheFrameUntilTheNextClick) {
    CPoint strip(600, 530);
    click(strip);
    EXPECT_EQ(layout.about->getValue(), 1.0f);
    frame->idle();
    expectImagePart(CRect(100, 100, 140, 140), bitmaps.about, CPoint(100, 100));
    // While shown, the image takes every click, also over a knob.
    click(centreOf(layout.knobs[18]));
    EXPECT_EQ(layout.about->getValue(), 0.0f);
    EXPECT_EQ(layout.knobs[18]->getValue(), 0.5f);
    frame->idle();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"begin 106", "value 106 1", "end 106", "begin 106",
                                                         "value 106 0", "end 106"}));
    expectImagePart(CRect(400, 300, 420, 320), bitmaps.background,
                    CPoint(400, 300)); // the background is back
}

// Checks, when told of a change, that the frame already shows the background at a point.
struct ProbingListener : CControlListener {
    void valueChanged(CControl* control) override {
        CFrame* frame = control->getFrame();
        shownAtReport = pixelAt(frame, 100, 100);
    }
    unsigned shownAtReport = 0;
};

TEST_F(OffscreenFrame, AboutImageAndPopupAreGoneBeforeTheListenerRuns) {
    ProbingListener probe;
    unsigned background = pixelAt(frame, 100, 100);
    layout.about->setListener(&probe);
    click(CPoint(600, 530));
    frame->idle();
    EXPECT_NE(pixelAt(frame, 100, 100), background);
    click(CPoint(600, 530));
    EXPECT_EQ(probe.shownAtReport, background);

    layout.programList->setListener(&probe);
    click(centreOf(layout.programList));
    frame->idle();
    EXPECT_NE(pixelAt(frame, 100, 100), background);
    CKeyCode enter{0, VKEY_RETURN, 0};
    frame->onKeyDown(enter);
    EXPECT_EQ(probe.shownAtReport, background);
}

TEST_F(OffscreenFrame, NothingIsDrawnWhileNothingChanges) {
    frame->idle();
    unsigned long before = frame->getRedrawCount();
    for (int i = 0; i < 100; ++i)
        frame->idle();
    EXPECT_EQ(frame->getRedrawCount(), before);
    layout.knobs[3]->setValue(layout.knobs[3]->getValue()); // same value: no redraw
    frame->idle();
    EXPECT_EQ(frame->getRedrawCount(), before);
    layout.knobs[3]->setValue(0.9f);
    layout.knobs[4]->setValue(0.1f);
    frame->idle();
    EXPECT_EQ(frame->getRedrawCount(), before + 1);
    EXPECT_FALSE(frame->isDirty());
}

TEST_F(OffscreenFrame, ScreenshotOfTheWholeFrame) {
    for (int i = 0; i < 5; ++i)
        layout.leds[i]->setValue(i < 3 ? 0.0f : 1.0f);
    layout.bypass->setValue(1);
    for (size_t i = 0; i < layout.knobs.size(); ++i)
        layout.knobs[i]->setValue(static_cast<float>(i % 7) / 6.0f);
    frame->idle();
    std::string path = std::string(LUMERIC_BINARY_DIR) + "/gui_screenshot.png";
    ASSERT_TRUE(frame->saveToPng(path.c_str()));
    cairo_surface_t* written = cairo_image_surface_create_from_png(path.c_str());
    EXPECT_EQ(cairo_image_surface_get_width(written), 828);
    cairo_surface_destroy(written);
    // The program list's popup over the frame, as a second picture.
    for (int i = 0; i < 128; i += 9)
        layout.programList->getEntry(i)->setTitle("Wide Stereo Master Bus 27");
    layout.programList->checkEntryAlone(0);
    layout.programList->popup();
    frame->idle();
    EXPECT_TRUE(frame->saveToPng((std::string(LUMERIC_BINARY_DIR) + "/gui_screenshot_menu.png").c_str()));
}

TEST(TooltipSupport, ShowsTheTextAfterTheDelayWhileThePointerRests) {
    RecordingEditor editor;
    CFrame* frame = new CFrame(CRect(0, 0, 400, 300), nullptr, &editor);
    CView* view = new CView(CRect(10, 10, 60, 60));
    const char tip[] = "Output volume";
    view->setAttribute(kCViewTooltipAttribute, sizeof tip, tip);
    frame->addView(view);
    auto* tooltips = new CTooltipSupport(frame, nullptr, 150);
    CPoint where(30, 30);
    frame->onMouseMoved(where, 0);
    frame->idle();
    EXPECT_FALSE(tooltips->isShowing());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    frame->idle();
    ASSERT_TRUE(tooltips->isShowing());
    EXPECT_EQ(tooltips->getShownText(), tip);
    CRect box = tooltips->getTooltipRect();
    EXPECT_LT(meanBrightness(frame, CRect(box.left + 2, box.top + 2, box.right - 2, box.bottom - 2)), 80);
    CPoint outside(200, 200);
    frame->onMouseMoved(outside, 0);
    frame->idle();
    EXPECT_FALSE(tooltips->isShowing());
    frame->onMouseMoved(where, 0);
    frame->onMouseDown(where, kLButton); // a click hides it until the pointer moves again
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    frame->idle();
    EXPECT_FALSE(tooltips->isShowing());
    delete frame;
}

TEST(DrawContext, LinesRectanglesEllipsesAndTextLandWhereAsked) {
    COffscreenContext context(nullptr, 100, 60, kWhiteCColor);
    auto pixel = [&](int x, int y) {
        cairo_surface_flush(context.getSurface());
        const unsigned char* data = cairo_image_surface_get_data(context.getSurface());
        return *reinterpret_cast<const uint32_t*>(
                   data + y * cairo_image_surface_get_stride(context.getSurface()) + x * 4) &
               0xffffff;
    };
    context.setDrawMode(kCopyMode);
    context.setFrameColor(kBlackCColor);
    context.moveTo(CPoint(10, 50));
    context.lineTo(CPoint(10, 20));
    EXPECT_EQ(pixel(10, 30), 0x000000u);
    EXPECT_EQ(pixel(11, 30), 0xffffffu);
    EXPECT_EQ(pixel(10, 15), 0xffffffu);
    context.setFillColor(CColor{255, 0, 0, 255});
    context.fillRect(CRect(20, 5, 30, 15));
    EXPECT_EQ(pixel(20, 5), 0xff0000u);
    EXPECT_EQ(pixel(29, 14), 0xff0000u);
    EXPECT_EQ(pixel(30, 15), 0xffffffu);
    context.setFrameColor(CColor{0, 0, 255, 255});
    context.drawEllipse(CRect(40, 10, 60, 30));
    EXPECT_EQ(pixel(50, 20), 0xffffffu); // stroked only
    EXPECT_NE(pixel(40, 20), 0xffffffu);
    context.setFrameColor(CColor{0, 0, 0, 128}); // half-transparent black over white
    context.drawLine(CPoint(70, 0), CPoint(70, 60));
    EXPECT_NEAR(static_cast<int>(pixel(70, 30) & 255), 127, 2);
    context.setFontColor(kBlackCColor);
    context.setFont(kNormalFont, 10, 0);
    context.drawString("-6dB", CRect(5, 0, 100, 19), false, kLeftText);
    int dark = 0;
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 40; ++x)
            dark += (pixel(x, y) & 255) < 128 ? 1 : 0;
    EXPECT_GT(dark, 10);
    EXPECT_GT(context.getStringWidth("1kHz"), context.getStringWidth("1k"));
}

TEST(Frame, WithoutAnXServerTheFrameDrawsOffscreen) {
    const char* display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    setenv("DISPLAY", ":4999", 1);
    CFrame* frame = new CFrame(CRect(0, 0, 50, 50), reinterpret_cast<void*>(0x1234), nullptr);
    EXPECT_FALSE(frame->isWindowOpen());
    frame->idle();
    EXPECT_EQ(frame->getRedrawCount(), 1u);
    delete frame;
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

} // namespace
