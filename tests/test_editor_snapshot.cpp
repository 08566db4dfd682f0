// Pictures of the editor without an X server, as the renderer writes them.
#include "editor/editor_snapshot.h"
#include "engine/px_audio.h"
#include "test_helpers.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <filesystem>

namespace {

VstIntPtr VSTCALLBACK silentHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

unsigned pixel(cairo_surface_t* image, int x, int y) {
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    return *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(image) + 4 * x) &
           0xffffff;
}

TEST(EditorSnapshot, WritesBothAnalyserModesFromTheEffectsState) {
    unsetenv("DISPLAY"); // no X server is needed
    auto effect = std::make_unique<PxAudio>(&silentHost);
    effect->setSampleRate(44100.0f);
    effect->setParameter(kVirtualSurround, 0.6f);
    effect->setParameter(kDynamicFatBass, 0.8f);
    std::vector<float> left = sineWave(80, 44100, 44100, 0.5), right = sineWave(3000, 44100, 44100, 0.2);
    const std::vector<float> noise = uniformNoise(44100, 3, 0.1f);
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] += noise[i];
        right[i] += left[i] * 0.5f;
    }
    float* io[2] = {left.data(), right.data()};
    effect->processReplacing(io, io, 44100);

    const std::string spectrum = std::string(LUMERIC_BINARY_DIR) + "/editor_snapshot_spectrum.png";
    const std::string scope = std::string(LUMERIC_BINARY_DIR) + "/editor_snapshot_scope.png";
    std::string error;
    ASSERT_TRUE(writeEditorSnapshot(*effect, AnalyserMode::Spectrum, spectrum, &error)) << error;
    ASSERT_TRUE(writeEditorSnapshot(*effect, AnalyserMode::Scope, scope, &error)) << error;
    cairo_surface_t* first = cairo_image_surface_create_from_png(spectrum.c_str());
    cairo_surface_t* second = cairo_image_surface_create_from_png(scope.c_str());
    ASSERT_EQ(cairo_surface_status(first), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_surface_status(second), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(first), 828);
    EXPECT_EQ(cairo_image_surface_get_height(second), 554);
    // Same panel, different analyser.
    EXPECT_EQ(pixel(first, 20, 10), pixel(second, 20, 10));
    EXPECT_NE(pixel(first, 420, 500), pixel(second, 420, 500));
    cairo_surface_destroy(first);
    cairo_surface_destroy(second);
    EXPECT_FALSE(std::filesystem::exists(spectrum + ".tmp"));
}

TEST(EditorSnapshot, RefusesBadModesAndUnwritablePaths) {
    auto effect = std::make_unique<PxAudio>(&silentHost);
    std::string error;
    EXPECT_FALSE(writeEditorSnapshot(*effect, static_cast<AnalyserMode>(2), "unused.png", &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(writeEditorSnapshot(*effect, AnalyserMode::Spectrum, "/no/such/folder/editor.png", &error));
    EXPECT_NE(error.find("/no/such/folder/editor.png"), std::string::npos);
    EXPECT_FALSE(writeEditorSnapshot(*effect, AnalyserMode::Spectrum, "", nullptr));
}

} // namespace
