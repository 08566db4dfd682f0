// Creating and destroying many effects; run under valgrind by the memcheck entry of CTest as well.
#include <gtest/gtest.h>

#include "test_helpers.h"

TEST(InstanceStorm, ThousandEffectsComeAndGo) {
    for (int i = 0; i < 1000; ++i) {
        auto plugin = PluginInstance::create(testModule());
        ASSERT_NE(plugin, nullptr);
        if (i % 100 == 0) {
            plugin->start(44100.0f, 64);
            float left[64] = {}, right[64] = {};
            plugin->process(left, right, 64);
        }
    }
}
