// The LV2 edition as LV2 hosts meet it: its sound through lv2apply against the VST module, its session state
// and its editor through the LV2 host library, and the editor in jalv. (lv2_description.sh checks what the
// LV2 tools read from the bundle.)
#include <cairo.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <regex>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>

#include "editor/editor_layout.h"
#include "engine/px_audio.h"
#include "presets/preset_images.h"
#include "support/subprocess.h"
#include "test_helpers.h"
#include "tools/hostlib/lv2_host.h"
#include "test_signals.h"
#include "x11_test_host.h"

namespace {

const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);
const std::string kUri = "https://lumeric.example/plugins/lumeric", kBundle = LUMERIC_LV2_BUNDLE;
// The LV2 tools and jalv find the bundle's folder and the LV2 specifications.
const int kPathSet = setenv("LV2_PATH", (kBundle + "/..:/usr/lib/lv2").c_str(), 1);

// A control port's symbol as lv2info reports it.
std::string symbol(int port) {
    static const std::string info = runProgram({"lv2info", kUri}).output;
    const size_t at = info.find("Symbol:", info.find("\tPort " + std::to_string(port) + ":\n")) + 7;
    return info.substr(info.find_first_not_of(' ', at),
                       info.find('\n', at) - info.find_first_not_of(' ', at));
}

// What the editor shows where no control covers its background (the middle of the about strip), 0xRRGGBB.
const ControlPlace& kAbout = controlWithTag(kTagAbout);
const int kAboutX = kAbout.left + kAbout.width / 2, kAboutY = kAbout.top + kAbout.height / 2;
unsigned backgroundPixel() {
    cairo_surface_t* image =
        cairo_image_surface_create_from_png(LUMERIC_SOURCE_DIR "/resources/bmp00128.png");
    const unsigned char* row =
        cairo_image_surface_get_data(image) + kAboutY * cairo_image_surface_get_stride(image);
    const unsigned value = reinterpret_cast<const uint32_t*>(row)[kAboutX] & 0xffffff;
    cairo_surface_destroy(image);
    return value;
}

// The bundle's binary in an LV2 host: its ports at their defaults (those of program 0).
std::unique_ptr<Lv2Instance> newLv2Instance(double rate = 44100.0) {
    std::vector<float> defaults(kNumParams);
    for (int i = 0; i < kNumParams; ++i)
        defaults[i] = factoryValue(0, i);
    std::string error;
    auto instance = Lv2Instance::create(kBundle, "lumeric.so", defaults, rate, &error);
    EXPECT_TRUE(instance) << error;
    return instance;
}
// The host's user-interface cycle and a block of silence.
void idle(Lv2Instance& host) {
    static float silence[2][64] = {};
    host.idleEditor();
    host.run(silence[0], silence[0], silence[1], silence[1], 64);
}

std::vector<float> wavFile(const std::string& path, int rate, const std::vector<float>& interleaved = {}) {
    SF_INFO info{0, rate, 2, interleaved.empty() ? 0 : SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), interleaved.empty() ? SFM_READ : SFM_WRITE, &info);
    std::vector<float> samples =
        interleaved.empty() ? std::vector<float>(2 * size_t(info.frames)) : interleaved;
    if (file && interleaved.empty()) sf_readf_float(file, samples.data(), info.frames);
    if (file && !interleaved.empty()) sf_writef_float(file, samples.data(), sf_count_t(samples.size() / 2));
    sf_close(file);
    return samples;
}

TEST(Lv2Bundle, Lv2applySoundsSampleForSampleAsTheVstModulePastTheFirstBlock) {
    TemporaryFolder folder;
    const std::string in = folder.file("in.wav"), out = folder.file("out.wav");
    for (int rate : {44100, 48000, 32000}) {
        const size_t frames = size_t(rate) / 2;
        const std::vector<float> left = sineWave(110, rate, frames, 0.4),
                                 right = uniformNoise(frames, 9, 0.3f);
        std::vector<float> both;
        for (size_t n = 0; n < frames; ++n)
            both.insert(both.end(), {left[n], right[n]});
        wavFile(in, rate, both);
        for (int program : {0, 72}) {
            std::vector<std::string> command = {"lv2apply", "-i", in, "-o", out, kUri};
            for (int i = 0; i < kNumParams; ++i)
                command.insert(command.end() - 1,
                               {"-c", symbol(i), std::to_string(factoryValue(program, i))});
            runProgram(command);
            const std::vector<float> lv2 = wavFile(out, rate);
            std::vector<float> l = left, r = right;
            auto vst = newInstance();
            vst->start(float(rate), 1);
            vst->dispatch(effSetProgram, 0, program);
            vst->processInBlocks(l.data(), r.data(), frames, 1); // as lv2apply runs: one frame at a time
            ASSERT_EQ(lv2.size(), 2 * frames) << rate;
            size_t differing = 0;
            for (size_t n = 1; n < frames; ++n)
                differing += lv2[2 * n] != l[n] || lv2[2 * n + 1] != r[n];
            EXPECT_EQ(differing, 0u) << rate << " Hz, program " << program;
        }
    }
    // The half rates want even blocks, which lv2apply does not give: the LV2 host library gives 512.
    for (float rate : {88200.0f, 96000.0f}) {
        std::vector<float> l = sineWave(110, rate, 8192, 0.4), r = uniformNoise(8192, 9, 0.3f), lv2l(8192),
                           lv2r(8192);
        auto lv2 = newLv2Instance(rate);
        for (size_t at = 0; at < 8192; at += 512)
            lv2->run(l.data() + at, r.data() + at, lv2l.data() + at, lv2r.data() + at, 512);
        auto vst = newInstance();
        vst->start(rate, 512);
        vst->processInBlocks(l.data(), r.data(), 8192, 512);
        EXPECT_TRUE(lv2l == l && lv2r == r) << rate;
    }
}

// The state's image itself, whole or refused, is checked with the preset images; here it goes through hosts.
TEST(Lv2State, BankCurrentProgramAndNamesRoundTripBetweenInstancesAndABrokenStateRestoresNothing) {
    PxAudio session(nullptr);
    session.setProgram(3);
    session.setProgramName(const_cast<char*>("Renamed in a session"));
    session.setParameter(kTone, 0.9f);
    session.setProgram(9);
    std::vector<unsigned char> image(kStateImageSize);
    stateSaveBytesToBuf(session, image.data());

    auto first = newLv2Instance(), second = newLv2Instance();
    ASSERT_TRUE(first->restoreState(image));
    EXPECT_EQ(first->saveState(), image);
    ASSERT_TRUE(second->restoreState(first->saveState()));
    EXPECT_EQ(second->saveState(), image);
    EXPECT_FALSE(second->restoreState(std::vector<unsigned char>(image.begin(), image.end() - 1)));
    EXPECT_EQ(second->saveState(), image);
}

TEST(Lv2Editor, OpensInTheHostsWindowTellsTheHostOfGesturesAndPortEventsAndClosesCleanly) {
    auto host = newLv2Instance();
    TestHostWindow window;
    ASSERT_TRUE(host->openEditor(window.handle()));
    ERect* rect = nullptr;
    auto vst = newInstance();
    vst->dispatch(effEditGetRect, 0, 0, &rect); // the VST module's editor size
    ASSERT_TRUE(rect);
    EXPECT_EQ(host->editorCalls, "r" + std::to_string(rect->right - rect->left) + "x" +
                                     std::to_string(rect->bottom - rect->top) + " ");
    ASSERT_TRUE(
        pumpUntil([&] { idle(*host); }, [&] { return window.pixel(kAboutX, kAboutY) == backgroundPixel(); }));

    // A knob dragged up: touch, port writes of a rising value, release.
    host->editorCalls.clear();
    const ControlPlace& knob = controlWithTag(kVolume);
    const std::string x = std::to_string(knob.left + 21), y = std::to_string(knob.top + 21);
    for (const std::vector<std::string>& step :
         std::vector<std::vector<std::string>>{{"mousemove", x, y},
                                               {"mousedown", "1"},
                                               {"mousemove", x, std::to_string(knob.top)},
                                               {"mouseup", "1"}}) {
        ASSERT_TRUE(runXdotool(step));
        pumpUntil([&] { idle(*host); }, [] { return false; }, 60);
    }
    EXPECT_TRUE(std::regex_match(host->editorCalls, std::regex("t0 (w0 )+u0 "))) << host->editorCalls;
    EXPECT_GT(host->controls[kVolume], factoryValue(0, kVolume));

    // The next program, chosen in the editor, reaches the host's ports where it differs, with no gesture.
    host->editorCalls.clear();
    const ControlPlace& next = controlWithTag(kTagNextProgram);
    ASSERT_TRUE(runXdotool({"mousemove", std::to_string(next.left + 9), std::to_string(next.top + 9)}));
    ASSERT_TRUE(runXdotool({"click", "1"}));
    pumpUntil([&] { idle(*host); }, [] { return false; }, 200);
    std::string differing;
    for (int i = 0; i < kNumParams; ++i) {
        EXPECT_EQ(host->controls[i], factoryValue(1, i)) << i;
        if (factoryValue(1, i) != factoryValue(0, i) || i == kVolume)
            differing += "w" + std::to_string(i) + " ";
    }
    EXPECT_EQ(host->editorCalls, differing);

    // A port event of the host reaches the effect (whose echo moves the knob), and so does a port the host
    // automates; neither is written back.
    host->editorCalls.clear();
    host->portEvent(kTone, 0.8f);
    host->controls[kEqLow] = 0.3f;
    for (int cycle = 0; cycle < 2; ++cycle) // the second idle sees what the first run applied
        idle(*host);
    PxAudio reader(nullptr);
    const std::vector<unsigned char> image = host->saveState();
    ASSERT_TRUE(stateLoadBytesFromBuf(reader, image.data(), image.size()));
    EXPECT_EQ(reader.getParameter(kTone) + reader.getParameter(kEqLow), 0.8f + 0.3f);
    EXPECT_EQ(host->editorCalls, "");

    // Closing and opening again, fifty times, leaves no window, descriptor or memory behind.
    auto cycle = [&] {
        host->closeEditor();
        const bool closed = pumpUntil([&] { window.sync(); }, [&] { return window.children() == 0; });
        return closed && host->openEditor(window.handle()) &&
               pumpUntil([&] { idle(*host), window.sync(); }, [&] { return window.children() == 1; });
    };
    ASSERT_TRUE(cycle()); // warms up the caches of cairo and fontconfig
    const int descriptors = openFileDescriptors();
    const size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(cycle()) << i;
    EXPECT_EQ(openFileDescriptors(), descriptors);
    EXPECT_LT(mallinfo2().uordblks, heap + 64 * 1024);

    // 200 % chosen from the menu of the background (here the analyser) asks the host to resize.
    TemporaryFolder config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    host->editorCalls.clear();
    const ControlPlace& analyser =
        *std::find_if(std::begin(kEditorLayout), std::end(kEditorLayout),
                      [](const ControlPlace& p) { return p.kind == ControlKind::Analyser; });
    ASSERT_TRUE(
        runXdotool({"mousemove", std::to_string(analyser.left + 40), std::to_string(analyser.top + 40)}));
    for (const char* step : {"click 3", "key Down", "key Down", "key Down", "key Down", "key Return"}) {
        ASSERT_TRUE(
            runXdotool({std::string(step, 3) == "key" ? "key" : "click", std::strchr(step, ' ') + 1}));
        pumpUntil([&] { idle(*host); }, [] { return false; }, 30);
    }
    EXPECT_EQ(host->editorCalls, "r1656x1108 ");
}

TEST(Lv2Editor, JalvShowsItInItsWindow) {
    if (!programOnPath("jalv.gtk3") || !programOnPath("jackd")) GTEST_SKIP() << "no jalv.gtk3 or jackd";
    const std::string server = "lumeric-test-" + std::to_string(getpid()); // a JACK server of our own
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    pid_t jack = -1, jalv = -1;
    auto spawn = [](pid_t* pid, std::vector<const char*> argv) {
        argv.push_back(nullptr);
        posix_spawnp(pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv.data()), environ);
    };
    spawn(&jack, {"jackd", "--no-realtime", "-n", server.c_str(), "-d", "dummy", "-r", "44100", "-p", "256"});
    TestHostWindow screen(1, 1);
    const xcb_screen_t& root = *xcb_setup_roots_iterator(xcb_get_setup(screen.connection)).data;
    // jalv gives up while the server is still starting: it starts again until its window shows the editor.
    auto restart = [&] {
        if (jalv < 0 || waitpid(jalv, nullptr, WNOHANG) == jalv)
            spawn(&jalv, {"jalv.gtk3", "--no-menu", kUri.c_str()});
    };
    EXPECT_TRUE(pumpUntil(
        restart,
        [&] { return windowPixel(screen.connection, root.root, kAboutX, kAboutY) == backgroundPixel(); },
        30000));
    EXPECT_TRUE(saveWindowPng(screen.connection, root.root, root.width_in_pixels, root.height_in_pixels,
                              LUMERIC_BINARY_DIR "/lv2_jalv_editor.png"));
    for (pid_t pid : {jalv, jack})
        if (pid > 0 && kill(pid, SIGTERM) == 0) waitpid(pid, nullptr, 0);
}

} // namespace
