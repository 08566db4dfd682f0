// The editor as hosts abuse it: many open/close cycles, a parent window that disappears first, idles and
// keys with no editor open.
#include <gtest/gtest.h>

#include "stress_signals.h"
#include "test_helpers.h"
#include "x11_test_host.h"

namespace {

const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

void sendKeys(PluginInstance& plugin) {
    const VstIntPtr virtualKeys[] = {0, 1, 14, 40, 255, -1};
    for (VstIntPtr key : virtualKeys) {
        plugin.dispatch(effEditKeyDown, 'a', key, nullptr, 0.0f);
        plugin.dispatch(effEditKeyUp, 'a', key, nullptr, 7.0f);
        plugin.dispatch(effEditKeyDown, -1, key, nullptr, -1.0f);
        plugin.dispatch(effEditKeyUp, 0x7fffffff, key, nullptr, 1e9f);
    }
}

TEST(EditorAbuse, IdleCloseAndKeysWithoutAnOpenEditorDoNothing) {
    auto plugin = newInstance();
    plugin->start(44100.0f);
    for (int i = 0; i < 100; ++i)
        plugin->dispatch(effEditIdle);
    plugin->dispatch(effEditClose);
    plugin->dispatch(effEditClose);
    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, nullptr), 0);
    sendKeys(*plugin);
    float left[256] = {}, right[256] = {};
    plugin->process(left, right, 256);
    EXPECT_EQ(firstNonFinite(left, 256), -1);
}

TEST(EditorAbuse, OpenIdleClose200Times) {
    auto plugin = newInstance();
    plugin->start(44100.0f);
    TestHostWindow parent;
    StereoStream block(512);
    std::mt19937 random(5);
    for (int cycle = 0; cycle < 200; ++cycle) {
        ERect* rect = nullptr;
        ASSERT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_GT(rect->right - rect->left, 0);
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent.handle()), 1) << "cycle " << cycle;
        for (int idle = 0; idle < 3; ++idle) {
            fillSignal(TestSignal::Noise, random, block.left.data(), block.right.data(), 512, 0, 44100.0f);
            plugin->process(block.left.data(), block.right.data(), 512);
            plugin->dispatch(effEditIdle);
        }
        if (cycle % 50 == 0) sendKeys(*plugin);
        plugin->dispatch(effEditClose);
    }
    plugin->dispatch(effEditIdle);
}

TEST(EditorAbuse, HostDestroysItsWindowBeforeClosingTheEditor) {
    auto plugin = newInstance();
    for (int round = 0; round < 3; ++round) {
        TestHostWindow parent;
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent.handle()), 1);
        plugin->dispatch(effEditIdle);
        xcb_destroy_window(parent.connection, parent.window);
        parent.sync();
        for (int idle = 0; idle < 5; ++idle)
            plugin->dispatch(effEditIdle);
        sendKeys(*plugin);
        plugin->dispatch(effEditClose);
    }
    // The editor still opens normally afterwards.
    TestHostWindow parent;
    EXPECT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent.handle()), 1);
    plugin->dispatch(effEditIdle);
    plugin->dispatch(effEditClose);
}

TEST(EditorAbuse, ClosingTheEffectWithItsEditorOpen) {
    auto plugin = newInstance();
    TestHostWindow parent;
    ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent.handle()), 1);
    plugin->dispatch(effEditIdle);
    plugin->close();
}

} // namespace
