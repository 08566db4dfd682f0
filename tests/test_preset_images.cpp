// Program and bank images: exact layout, round trips, and every refusal and truncation.
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/px_audio.h"
#include "presets/preset_files.h"
#include "presets/preset_images.h"
#include "support/atomic_file.h"
#include "test_helpers.h"

// GCC 12 misjudges the sizes of the resized image vectors below and warns about writes that are in bounds.
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Warray-bounds"

namespace {

int updateDisplayCalls = 0;
VstIntPtr countingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterUpdateDisplay) ++updateDisplayCalls;
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

using Image = std::vector<unsigned char>;

int32_t intAt(const Image& image, size_t at) {
    return static_cast<int32_t>((uint32_t(image[at]) << 24) | (uint32_t(image[at + 1]) << 16) |
                                (uint32_t(image[at + 2]) << 8) | uint32_t(image[at + 3]));
}
void setIntAt(Image& image, size_t at, int32_t value) {
    for (int b = 0; b < 4; ++b)
        image[at + b] = static_cast<unsigned char>(uint32_t(value) >> (24 - 8 * b));
}
void putText(Image& image, size_t at, const std::string& text) {
    std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
}
float floatAt(const Image& image, size_t at) {
    uint32_t bits = static_cast<uint32_t>(intAt(image, at));
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}
void setFloatAt(Image& image, size_t at, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    setIntAt(image, at, static_cast<int32_t>(bits));
}

class PresetImages : public testing::Test {
  protected:
    PxAudio effect{countingHost};
    void SetUp() override { updateDisplayCalls = 0; }

    Image programImage() {
        Image image(65536, 0xEE);
        size_t size = 0;
        fxpSaveBytesToBuf(effect, image.data(), &size);
        EXPECT_EQ(size, kProgramImageSize);
        EXPECT_EQ(image[kProgramImageSize], 0xEE); // nothing written past the image
        image.resize(size);
        return image;
    }
    Image bankImage() {
        Image image(65536, 0xEE);
        size_t size = 0;
        fxbSaveBytesToBuf(effect, image.data(), &size);
        EXPECT_EQ(size, kBankImageSize);
        EXPECT_EQ(image[kBankImageSize], 0xEE);
        image.resize(size);
        return image;
    }
    std::vector<float> parameters() {
        std::vector<float> values;
        for (int i = 0; i < kNumParams; ++i)
            values.push_back(effect.getParameter(i));
        return values;
    }
    // Loads through exactly-sized heap copies, so that AddressSanitizer sees any read past the end.
    bool loadProgram(const Image& image) {
        std::unique_ptr<unsigned char[]> copy(new unsigned char[image.size()]);
        if (!image.empty()) std::memcpy(copy.get(), image.data(), image.size());
        return fxpLoadBytesFromBuf(effect, copy.get(), image.size());
    }
    bool loadBank(const Image& image) {
        std::unique_ptr<unsigned char[]> copy(new unsigned char[image.size()]);
        if (!image.empty()) std::memcpy(copy.get(), image.data(), image.size());
        return fxbLoadBytesFromBuf(effect, copy.get(), image.size());
    }
};

} // namespace

TEST_F(PresetImages, ProgramImageLayout) {
    effect.setProgram(8);
    const Image image = programImage();
    EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "CcnK");
    EXPECT_EQ(intAt(image, 4), 188);
    EXPECT_EQ(std::string(image.begin() + 8, image.begin() + 12), "FxCk");
    EXPECT_EQ(intAt(image, 12), 1);
    EXPECT_EQ(std::string(image.begin() + 16, image.begin() + 20), "QV4M");
    EXPECT_EQ(intAt(image, 20), 1);
    EXPECT_EQ(intAt(image, 24), 35);
    EXPECT_STREQ(reinterpret_cast<const char*>(&image[28]), "Enhance punchy bright");
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(floatAt(image, 56 + 4 * i), effect.getParameter(i));
    EXPECT_EQ(image[56 + 4 * 2], 0x3F); // 0.5f big-endian: 3F 00 00 00
}

TEST_F(PresetImages, ProgramRoundTripCutsNamesToTwentySix) {
    effect.setProgram(5);
    effect.setParameter(2, 0.111f);
    effect.setParameter(30, 0.75f);
    char name[] = "abcdefghijklmnopqrstuvwxyzA"; // 27 characters
    effect.setProgramName(name);
    const Image image = programImage();
    EXPECT_EQ(image[54], 0);
    EXPECT_EQ(image[55], 0);
    const auto saved = parameters();

    effect.setProgram(9);
    ASSERT_TRUE(loadProgram(image));
    EXPECT_EQ(parameters(), saved);
    char loadedName[64];
    effect.getProgramName(loadedName);
    EXPECT_STREQ(loadedName, "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(effect.program(9).values[2], 0.111f); // loaded into the current program
    EXPECT_EQ(updateDisplayCalls, 1);
}

TEST_F(PresetImages, ProgramValueCountDecidesWhatIsApplied) {
    Image image = programImage();
    for (int i = 0; i < 35; ++i)
        setFloatAt(image, 56 + 4 * i, 0.25f);
    image.resize(56 + 4 * 40);
    for (int i = 35; i < 40; ++i)
        setFloatAt(image, 56 + 4 * i, 0.9f);
    setIntAt(image, 24, 40);
    ASSERT_TRUE(loadProgram(image));
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(effect.getParameter(i), 0.25f);

    effect.setProgram(0);
    for (int i = 0; i < 35; ++i)
        setFloatAt(image, 56 + 4 * i, 0.0625f);
    setIntAt(image, 24, 10);
    const auto before = parameters();
    ASSERT_TRUE(loadProgram(image));
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(effect.getParameter(i), i < 10 ? 0.0625f : before[i]) << i;

    for (int32_t count : {0, -1, -2147483647 - 1}) {
        setIntAt(image, 24, count);
        const auto unchanged = parameters();
        ASSERT_TRUE(loadProgram(image));
        EXPECT_EQ(parameters(), unchanged);
    }
}

TEST_F(PresetImages, ForeignOrBrokenProgramImagesAreRefused) {
    const Image good = programImage();
    effect.setProgram(3);
    const auto before = parameters();
    char beforeName[64];
    effect.getProgramName(beforeName);

    Image foreign = good;
    putText(foreign, 16, "ABCD");
    Image badMagic = good;
    badMagic[0] = 'X';
    for (const Image& bad : {foreign, badMagic, Image(good.begin(), good.begin() + 55), Image()})
        EXPECT_FALSE(loadProgram(bad));
    EXPECT_EQ(parameters(), before);
    char name[64];
    effect.getProgramName(name);
    EXPECT_STREQ(name, beforeName);
    EXPECT_EQ(updateDisplayCalls, 0);

    Image bankMagic = good; // the format magic is not looked at
    putText(bankMagic, 8, "FxBk");
    EXPECT_TRUE(loadProgram(bankMagic));
    EXPECT_EQ(parameters()[2], good[56 + 8] == 0 ? 0.0f : floatAt(good, 56 + 8));
}

TEST_F(PresetImages, TruncatedProgramAppliesTheCompleteValuesOnly) {
    Image image = programImage();
    for (int i = 0; i < 35; ++i)
        setFloatAt(image, 56 + 4 * i, 0.375f);
    effect.setProgram(40);
    const auto before = parameters();
    image.resize(56 + 4 * 7 + 3); // seven whole values and part of the eighth
    ASSERT_TRUE(loadProgram(image));
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(effect.getParameter(i), i < 7 ? 0.375f : before[i]);
    // The name field unterminated over all 28 bytes.
    Image longName = programImage();
    std::memset(&longName[28], 'N', 28);
    ASSERT_TRUE(loadProgram(longName));
    char name[64];
    effect.getProgramName(name);
    EXPECT_EQ(std::string(name), std::string(27, 'N'));
}

TEST_F(PresetImages, BankRoundTripRestoresEveryProgram) {
    char renamed[] = "A name of twenty-seven ch!!";
    effect.setProgram(77);
    effect.setProgramName(renamed);
    effect.setParameter(4, 0.3f);
    const Image image = bankImage();
    EXPECT_EQ(std::string(image.begin() + 8, image.begin() + 12), "FxBk");
    EXPECT_EQ(intAt(image, 4), 25236);
    EXPECT_EQ(intAt(image, 24), 128);
    for (size_t i = 28; i < 156; ++i)
        EXPECT_EQ(image[i], 0);
    for (int p = 0; p < 128; ++p) {
        const size_t r = 156 + 196 * p;
        EXPECT_EQ(std::string(image.begin() + r, image.begin() + r + 4), "CcnK");
        EXPECT_EQ(intAt(image, r + 4), 188);
        EXPECT_EQ(intAt(image, r + 24), 35);
        EXPECT_EQ(image[r + 54], 0);
        EXPECT_EQ(image[r + 55], 0);
    }

    PxAudio other(countingHost);
    other.setProgram(12);
    std::unique_ptr<unsigned char[]> copy(new unsigned char[image.size()]);
    std::memcpy(copy.get(), image.data(), image.size());
    ASSERT_TRUE(fxbLoadBytesFromBuf(other, copy.get(), image.size()));
    EXPECT_EQ(other.getProgram(), 0);
    for (int p = 0; p < 128; ++p) {
        char a[64], b[64];
        effect.getProgramNameIndexed(0, p, a);
        other.getProgramNameIndexed(0, p, b);
        EXPECT_EQ(std::string(a).substr(0, 26), std::string(b)) << p;
        for (int i = 0; i < 35; ++i)
            EXPECT_EQ(other.program(p).values[i], effect.program(p).values[i]);
    }
    EXPECT_EQ(other.program(77).values[4], 0.3f);
}

TEST_F(PresetImages, BankCountAndRecordSizesSteerTheReading) {
    Image image = bankImage();
    for (int p = 0; p < 128; ++p)
        for (int i = 0; i < 35; ++i)
            setFloatAt(image, 156 + 196 * p + 56 + 4 * i, 0.5f + p * 0.001f);
    image[24] = 0x7F; // only the two low bytes count
    image[26] = 0;
    image[27] = 2;
    effect.setProgram(9);
    const float untouched = effect.program(2).values[2];
    ASSERT_TRUE(loadBank(image));
    EXPECT_EQ(effect.getProgram(), 0);
    EXPECT_FLOAT_EQ(effect.program(1).values[0], 0.501f);
    EXPECT_EQ(effect.program(2).values[2], untouched);
    EXPECT_FLOAT_EQ(effect.getParameter(0), 0.5f);
    EXPECT_EQ(updateDisplayCalls, 1);

    // A first record declaring ten values moves the second record 40 bytes after its values begin.
    Image shortRecords = bankImage();
    shortRecords[27] = 2;
    setIntAt(shortRecords, 156 + 24, 10);
    const size_t second = 156 + 56 + 40;
    std::memset(&shortRecords[second + 28], 0, 28);
    putText(shortRecords, second + 28, "Moved");
    setIntAt(shortRecords, second + 24, 35);
    for (int i = 0; i < 35; ++i)
        setFloatAt(shortRecords, second + 56 + 4 * i, 0.125f);
    ASSERT_TRUE(loadBank(shortRecords));
    char name[64];
    effect.getProgramNameIndexed(0, 1, name);
    EXPECT_STREQ(name, "Moved");
    EXPECT_EQ(effect.program(1).values[34], 0.125f);
}

TEST_F(PresetImages, BrokenBanksNeverReadOutOfBounds) {
    const Image good = bankImage();
    Image foreign = good;
    putText(foreign, 16, "NoEf");
    EXPECT_FALSE(loadBank(foreign));
    EXPECT_FALSE(loadBank(Image(good.begin(), good.begin() + 155)));

    Image negative = good;
    setIntAt(negative, 156 + 196 * 3 + 24, -5);
    EXPECT_TRUE(loadBank(negative));

    Image huge = good;
    setIntAt(huge, 156 + 24, 0x7FFFFFFF); // the next record would start far beyond the image
    EXPECT_TRUE(loadBank(huge));

    Image manyRecords = good; // a count of 65535 over an image of 128 records
    manyRecords[26] = 0xFF;
    manyRecords[27] = 0xFF;
    EXPECT_TRUE(loadBank(manyRecords));

    for (size_t cut : {size_t(156), size_t(160), size_t(156 + 56), size_t(156 + 100), size_t(25243)})
        EXPECT_TRUE(loadBank(Image(good.begin(), good.begin() + cut))) << cut;
}

TEST(PresetFiles, NameRulesAndWholeFileWrites) {
    EXPECT_EQ(withExtension("/x/bright", "fxp"), "/x/bright.fxp");
    EXPECT_EQ(withExtension("/x/bright.fxp", "fxp"), "/x/bright.fxp");
    EXPECT_EQ(withExtension("/x/toolfxp", "fxp"), "/x/toolfxp");
    EXPECT_EQ(withExtension("mix", "fxb"), "mix.fxb");
    EXPECT_FALSE(endsWithExtension("/x/A.FXP", "fxp"));
    EXPECT_EQ(programNameFromPath("/home/me/Warm Master.fxp"), "Warm Master");
    EXPECT_EQ(programNameFromPath("/a/.fxp"), "");
    EXPECT_EQ(programNameFromPath("a.fx"), "");

    TemporaryFolder folder;
    const unsigned char data[3] = {1, 2, 3};
    ASSERT_TRUE(writeFileAtomically(folder.file("p.fxp"), data, 3));
    std::vector<unsigned char> back;
    ASSERT_TRUE(readPresetFile(folder.file("p.fxp"), back));
    EXPECT_EQ(back, (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_FALSE(readPresetFile(folder.file("missing.fxp"), back));
    EXPECT_FALSE(readPresetFile(folder.path(), back)); // a folder is not a preset
    EXPECT_FALSE(writeFileAtomically(folder.file("no/such/dir/p.fxp"), data, 3));
    EXPECT_EQ(readLines(folder.file("p.fxp")).size(), 1u);
}
