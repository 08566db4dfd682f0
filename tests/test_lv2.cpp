// The LV2 edition as LV2 hosts meet it: the bundle as the LV2 tools read it, its sound against the VST
// module, the session state, and the editor in a small UI host here and in jalv.
#include <cairo.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <malloc.h>
#include <map>
#include <regex>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>

#include "editor/editor_layout.h"
#include "engine/factory_presets.h"
#include "engine/parameter_table.h"
#include "engine/px_audio.h"
#include "presets/preset_images.h"
#include "support/subprocess.h"
#include "test_helpers.h"
#include "test_signals.h"
#include "x11_test_host.h"

namespace {

const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);
const std::string kUri = "https://lumeric.example/plugins/lumeric", kBundle = LUMERIC_LV2_BUNDLE;
// The LV2 tools and jalv find the bundle's folder and the LV2 specifications.
const int kPathSet = setenv("LV2_PATH", (kBundle + "/..:/usr/lib/lv2").c_str(), 1);
const std::string kInfo = runProgram({"lv2info", kUri}).output;

// A port's lines in lv2info's report ("" when there is no such port), and one field of them ("Default", ...).
std::string port(int index) {
    const size_t at = kInfo.find("\tPort " + std::to_string(index) + ":\n");
    return at == std::string::npos ? "" : kInfo.substr(at, kInfo.find("\n\n", at) - at);
}
std::string field(int index, const std::string& name) {
    const std::string lines = port(index);
    const size_t at = lines.find("\t" + name + ":"),
                 start = lines.find_first_not_of(' ', at + name.size() + 2);
    return at == std::string::npos ? "" : lines.substr(start, lines.find('\n', start) - start);
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

// A small LV2 host: the bundle's binary loaded as hosts load it, one running instance with its ports at their
// defaults, its session state, and its editor with the features that the big hosts give. The editor's calls
// are logged: "r828x554" resize, "t0"/"u0" touch and release of port 0, "w0" a write to port 0.
struct Lv2Host {
    Lv2Host() {
        for (uint32_t p = 0; p < kNumParams + 4; ++p)
            plugin->connect_port(handle, p,
                                 p < kNumParams ? &(controls[p] = factoryValue(0, int(p))) : audio[p % 4]);
        plugin->activate(handle);
    }
    ~Lv2Host() {
        if (ui) editor->cleanup(ui);
        plugin->cleanup(handle);
    }
    static LV2_URID map(LV2_URID_Map_Handle, const char* uri) {
        static std::map<std::string, LV2_URID> ids;
        return ids.emplace(uri, LV2_URID(ids.size() + 1)).first->second;
    }
    static Lv2Host& of(void* host) { return *static_cast<Lv2Host*>(host); }
    std::vector<unsigned char> save() {
        auto store = [](void* host, uint32_t, const void* value, size_t size, uint32_t, uint32_t) {
            of(host).stored.assign(static_cast<const char*>(value), static_cast<const char*>(value) + size);
            return LV2_STATE_SUCCESS;
        };
        state->save(handle, store, this, 0, features);
        return stored;
    }
    LV2_State_Status restore(const std::vector<unsigned char>& image) {
        stored = image;
        auto retrieve = [](void* host, uint32_t, size_t* size, uint32_t* type, uint32_t*) -> const void* {
            *type = map(nullptr, "http://lv2plug.in/ns/ext/atom#Chunk");
            return *size = of(host).stored.size(), of(host).stored.data();
        };
        return state->restore(handle, retrieve, this, 0, features);
    }
    bool openEditor(void* parent) {
        const LV2_Feature window{LV2_UI__parent, parent}, resizing{LV2_UI__resize, &resize},
            touching{LV2_UI__touch, &touch}, access{LV2_INSTANCE_ACCESS_URI, handle};
        const LV2_Feature* given[] = {&mapping, &window, &resizing, &touching, &access, nullptr};
        auto write = [](void* host, uint32_t port, uint32_t, uint32_t, const void* value) {
            of(host).controls[port] = *static_cast<const float*>(value);
            of(host).log += "w" + std::to_string(port) + " ";
        };
        LV2UI_Widget widget = nullptr;
        ui = editor->instantiate(editor, kUri.c_str(), kBundle.c_str(), write, this, &widget, given);
        return ui && widget;
    }
    // The host's user-interface cycle and a block of audio.
    void idle() {
        if (ui)
            static_cast<const LV2UI_Idle_Interface*>(editor->extension_data(LV2_UI__idleInterface))->idle(ui);
        plugin->run(handle, 64);
    }

    void* library = dlopen((kBundle + "/lumeric.so").c_str(), RTLD_NOW);
    const LV2_Descriptor* plugin =
        reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"))(0);
    const LV2UI_Descriptor* editor =
        reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2ui_descriptor"))(0);
    LV2_URID_Map mapper{nullptr, map};
    LV2_Feature mapping{LV2_URID__map, &mapper};
    const LV2_Feature* features[2] = {&mapping, nullptr};
    LV2_Handle handle = plugin->instantiate(plugin, 44100.0, kBundle.c_str(), features);
    const LV2_State_Interface* state =
        static_cast<const LV2_State_Interface*>(plugin->extension_data(LV2_STATE__interface));
    LV2UI_Handle ui = nullptr;
    float controls[kNumParams];
    float audio[4][64] = {};
    std::vector<unsigned char> stored;
    std::string log;
    LV2UI_Resize resize{this, [](void* host, int width, int height) {
                            of(host).log += "r" + std::to_string(width) + "x" + std::to_string(height) + " ";
                            return 0;
                        }};
    LV2UI_Touch touch{this, [](void* host, uint32_t port, bool grabbed) {
                          of(host).log += (grabbed ? "t" : "u") + std::to_string(port) + " ";
                      }};
};

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

TEST(Lv2Bundle, TheToolsFindTwoByTwoAudioPortsTheParametersAsControlsAndTheFactoryPresets) {
    for (int i = 0; i < kNumParams + 4; ++i) {
        EXPECT_NE(port(i).find(i < kNumParams ? "#ControlPort" : "#AudioPort"), std::string::npos) << i;
        EXPECT_NE(port(i).find(i < kNumParams + 2 ? "#InputPort" : "#OutputPort"), std::string::npos) << i;
        if (i >= kNumParams) continue;
        EXPECT_EQ(field(i, "Name"), parameterTable[i].name);
        EXPECT_EQ(field(i, "Minimum") + " " + field(i, "Maximum"), "0.000000 1.000000");
        EXPECT_NEAR(std::stod(field(i, "Default")), factoryValue(0, i), 1e-6) << i;
        // The name in lower case; the reserved ones numbered from the second on.
        std::string symbol = parameterTable[i].name;
        std::transform(symbol.begin(), symbol.end(), symbol.begin(), [](char c) { return std::tolower(c); });
        EXPECT_EQ(field(i, "Symbol"),
                  i > kFirstReserved ? symbol + "_" + std::to_string(i - kFirstReserved + 1) : symbol);
    }
    EXPECT_EQ(port(kNumParams + 4), "");
    std::string presets =
        kInfo.substr(kInfo.find("\tPresets:"), kInfo.find("\tPort 0:") - kInfo.find("\tPresets:"));
    for (int p = 0; p < kNumNamedPresets; ++p) { // each named once, row 16 repeating row 14
        const size_t at = presets.find("\t         " + factoryName(p) + "\n");
        ASSERT_NE(at, std::string::npos) << factoryName(p);
        presets.erase(at, factoryName(p).size() + 11);
    }
    EXPECT_EQ(presets.find("\t         "), std::string::npos);
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
                               {"-c", field(i, "Symbol"), std::to_string(factoryValue(program, i))});
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
}

TEST(Lv2State, BankCurrentProgramAndNamesRoundTripAndABrokenStateRestoresNothing) {
    PxAudio session(nullptr);
    session.setProgram(3);
    session.setProgramName(const_cast<char*>("Renamed in a session"));
    session.setParameter(kTone, 0.9f);
    session.setProgram(9);
    std::vector<unsigned char> image(kStateImageSize);
    stateSaveBytesToBuf(session, image.data());

    Lv2Host first, second;
    ASSERT_EQ(first.restore(image), LV2_STATE_SUCCESS);
    EXPECT_EQ(first.save(), image);
    ASSERT_EQ(second.restore(first.save()), LV2_STATE_SUCCESS);
    EXPECT_EQ(second.save(), image);

    const size_t whole = kStateImageSize, bank = kStateHeaderSize;
    // What is wrong, the byte changed (where, to what) and the length the image is cut to.
    const std::tuple<const char*, size_t, unsigned char, size_t> kBroken[] = {
        {"truncated", 0, 'L', whole - 1},
        {"foreign", 0, 'X', whole},
        {"newer", 7, 2, whole},
        {"no such program", 11, 128, whole},
        {"another effect's bank", bank + 16, 0, whole},
        {"a record short of values", bank + kBankHeaderSize + 27, 34, whole},
    };
    for (const auto& [what, at, byte, length] : kBroken) {
        std::vector<unsigned char> bad = image;
        bad[at] = byte;
        bad.resize(length);
        EXPECT_NE(second.restore(bad), LV2_STATE_SUCCESS) << what;
        EXPECT_EQ(second.save(), image) << what;
    }
}

TEST(Lv2Editor, OpensInTheHostsWindowTellsTheHostOfGesturesAndPortEventsAndClosesCleanly) {
    Lv2Host host;
    TestHostWindow window;
    ASSERT_TRUE(host.openEditor(window.handle()));
    ERect* rect = nullptr;
    newInstance()->dispatch(effEditGetRect, 0, 0, &rect); // the VST module's editor size
    EXPECT_EQ(host.log, "r" + std::to_string(rect->right - rect->left) + "x" +
                            std::to_string(rect->bottom - rect->top) + " ");
    ASSERT_TRUE(
        pumpUntil([&] { host.idle(); }, [&] { return window.pixel(kAboutX, kAboutY) == backgroundPixel(); }));

    // A knob dragged up: touch, port writes of a rising value, release.
    host.log.clear();
    const ControlPlace& knob = controlWithTag(kVolume);
    const std::string x = std::to_string(knob.left + 21), top = std::to_string(knob.top);
    for (const std::vector<std::string>& step :
         std::vector<std::vector<std::string>>{{"mousemove", x, std::to_string(knob.top + 21)},
                                               {"mousedown", "1"},
                                               {"mousemove", x, top},
                                               {"mouseup", "1"}}) {
        ASSERT_TRUE(runXdotool(step));
        pumpUntil([&] { host.idle(); }, [] { return false; }, 60);
    }
    EXPECT_TRUE(std::regex_match(host.log, std::regex("t0 (w0 )+u0 "))) << host.log;
    EXPECT_GT(host.controls[kVolume], factoryValue(0, kVolume));

    // A port event of the host reaches the effect (whose echo moves the knob) and is not written back.
    host.log.clear();
    const float tone = 0.8f;
    host.editor->port_event(host.ui, kTone, sizeof(tone), 0, &tone);
    host.idle();
    PxAudio reader(nullptr);
    const std::vector<unsigned char> image = host.save();
    ASSERT_TRUE(stateLoadBytesFromBuf(reader, image.data(), image.size()));
    EXPECT_EQ(reader.getParameter(kTone), tone);
    EXPECT_EQ(host.log, "");

    // Closing and opening again, fifty times, leaves no window, descriptor or memory behind.
    auto cycle = [&] {
        host.editor->cleanup(host.ui);
        const bool closed = pumpUntil([&] { window.sync(); }, [&] { return window.children() == 0; });
        return closed && host.openEditor(window.handle()) &&
               pumpUntil([&] { host.idle(), window.sync(); }, [&] { return window.children() == 1; });
    };
    ASSERT_TRUE(cycle()); // warms up the caches of cairo and fontconfig
    const int descriptors = openFileDescriptors();
    const size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(cycle()) << i;
    EXPECT_EQ(openFileDescriptors(), descriptors);
    EXPECT_LT(mallinfo2().uordblks, heap + 64 * 1024);
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
