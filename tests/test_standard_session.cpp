// A standard session from load to close: process, open and close the editor, save presets to files and
// load them back, close. Run under valgrind by the memcheck entry of CTest as well.
#include <cstdlib>
#include <gtest/gtest.h>

#include "engine/parameter_ids.h"
#include "engine/px_audio.h"
#include "presets/preset_files.h"
#include "presets/preset_images.h"
#include "support/atomic_file.h"
#include "stress_signals.h"
#include "test_helpers.h"
#include "x11_test_host.h"

namespace {

// Under valgrind the test is given a display (LUMERIC_DISPLAY_GIVEN): Xvfb started from inside valgrind often
// fails to report its display.
class DisplayUnlessGiven : public XvfbServer {
  public:
    void SetUp() override {
        if (!std::getenv("LUMERIC_DISPLAY_GIVEN")) XvfbServer::SetUp();
    }
};
const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new DisplayUnlessGiven);

VstIntPtr plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

void processNoise(AEffect* effect, std::mt19937& random, int blocks) {
    StereoStream block(512);
    for (int b = 0; b < blocks; ++b) {
        fillSignal(TestSignal::Noise, random, block.left.data(), block.right.data(), 512, 0, 44100.0f);
        float* channels[2] = {block.left.data(), block.right.data()};
        effect->processReplacing(effect, channels, channels, 512);
        ASSERT_EQ(firstNonFinite(block.left.data(), 512), -1);
    }
}

bool saveImage(const std::string& path, const std::vector<unsigned char>& image, size_t size) {
    return writeFileAtomically(path, image.data(), size);
}

// The presets' functions are not exported by the module, so the session runs on an effect built in this
// process from the same code.
TEST(StandardSession, LoadProcessEditorPresetsAndClose) {
    NoDialogPrograms quiet;
    TemporaryFolder folder;
    std::mt19937 random(11);
    auto* fx = static_cast<PxAudio*>(createEffectInstance(plainHost));
    ASSERT_NE(fx, nullptr);
    AEffect* effect = fx->getAeffect();
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    processNoise(effect, random, 20);
    effect->dispatcher(effect, effSetProgram, 0, 72, nullptr, 0.0f);
    processNoise(effect, random, 20);

    if (effect->flags & effFlagsHasEditor) {
        TestHostWindow parent;
        EXPECT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, parent.handle(), 0.0f), 1);
        for (int i = 0; i < 10; ++i) {
            processNoise(effect, random, 1);
            effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        }
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    }

    effect->setParameter(effect, kTone, 0.125f);
    char name[] = "Session program";
    effect->dispatcher(effect, effSetProgramName, 0, 0, name, 0.0f);
    std::vector<unsigned char> image(kBankImageSize);
    size_t size = 0;
    fxpSaveBytesToBuf(*fx, image.data(), &size);
    ASSERT_TRUE(saveImage(folder.file("one.fxp"), image, size));
    fxbSaveBytesToBuf(*fx, image.data(), &size);
    ASSERT_TRUE(saveImage(folder.file("all.fxb"), image, size));

    effect->dispatcher(effect, effSetProgram, 0, 3, nullptr, 0.0f);
    std::vector<unsigned char> read;
    ASSERT_TRUE(readPresetFile(folder.file("one.fxp"), read));
    ASSERT_TRUE(fxpLoadBytesFromBuf(*fx, read.data(), read.size()));
    EXPECT_EQ(effect->getParameter(effect, kTone), 0.125f);
    ASSERT_TRUE(readPresetFile(folder.file("all.fxb"), read));
    ASSERT_TRUE(fxbLoadBytesFromBuf(*fx, read.data(), read.size()));
    EXPECT_STREQ(fx->program(72).name, "Session program");
    processNoise(effect, random, 20);

    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}

} // namespace
