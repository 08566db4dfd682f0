// Creating and destroying many effects, and many alive at once; run under valgrind by the memcheck entry
// of CTest as well.
#include <cstdlib>
#include <gtest/gtest.h>

#include "engine/parameter_ids.h"
#include "stress_signals.h"
#include "test_helpers.h"

// LUMERIC_STORM_INSTANCES lowers the count where each instance is slow to make (under valgrind).
int stormInstances() {
    const char* count = std::getenv("LUMERIC_STORM_INSTANCES");
    return count ? std::atoi(count) : 1000;
}

TEST(InstanceStorm, ThousandEffectsComeAndGo) {
    for (int i = 0; i < stormInstances(); ++i) {
        auto plugin = PluginInstance::create(testModule());
        ASSERT_NE(plugin, nullptr);
        if (i % 100 == 0) {
            plugin->start(44100.0f, 64);
            float left[64] = {}, right[64] = {};
            plugin->process(left, right, 64);
        }
    }
}

namespace {

// What one of the sixteen instances is asked to do; replaying it alone must give the same output.
struct Session {
    int id;
    float rate;
    int program;
    std::mt19937 random;
    std::unique_ptr<PluginInstance> plugin;
    std::vector<float> output;
    int64_t position = 0;

    explicit Session(int id)
        : id(id), rate(kBatteryRates[id % 7]), program((id * 7) % kNumPrograms),
          random(static_cast<unsigned>(1000 + id)) {}

    void begin() {
        random.seed(static_cast<unsigned>(1000 + id));
        position = 0;
        output.clear();
        plugin = newInstance();
        plugin->start(rate, 1024);
        plugin->dispatch(effSetProgram, 0, program);
        if (id % 2) plugin->setParameter(kTone, 0.1f * static_cast<float>(id % 10));
        std::string name = "Instance " + std::to_string(id);
        plugin->dispatch(effSetProgramName, 0, 0, name.data());
    }

    void step() {
        const int32_t n = 1 + static_cast<int32_t>(random() % 1024);
        std::vector<float> left(static_cast<size_t>(n)), right(static_cast<size_t>(n));
        fillSignal(id % 3 ? TestSignal::Noise : TestSignal::Sine, random, left.data(), right.data(), n,
                   position, rate);
        plugin->process(left.data(), right.data(), n);
        output.insert(output.end(), left.begin(), left.end());
        output.insert(output.end(), right.begin(), right.end());
        position += n;
    }
};

} // namespace

TEST(InstanceStorm, SixteenAliveProcessingInTurnStayIndependent) {
    constexpr int kInstances = 16, kRounds = 24;
    std::vector<Session> sessions;
    for (int id = 0; id < kInstances; ++id)
        sessions.emplace_back(id);
    for (auto& session : sessions)
        session.begin();
    for (int round = 0; round < kRounds; ++round)
        for (auto& session : sessions)
            session.step();

    for (auto& session : sessions) {
        PluginInstance& plugin = *session.plugin;
        EXPECT_EQ(plugin.dispatch(effGetProgram), session.program) << session.id;
        EXPECT_EQ(plugin.programName(), "Instance " + std::to_string(session.id));
        if (session.id % 2) {
            EXPECT_EQ(plugin.getParameter(kTone), 0.1f * static_cast<float>(session.id % 10));
        }
        // The others renamed their own current programs only.
        EXPECT_EQ(plugin.programNameIndexed(0),
                  session.program == 0 ? "Instance 0" : "Enhance general medium");
    }

    // Each instance alone, fed the same, must produce the same samples: no state is shared.
    for (auto& session : sessions) {
        const std::vector<float> together = session.output;
        session.plugin.reset();
        session.begin();
        for (int round = 0; round < kRounds; ++round)
            session.step();
        ASSERT_EQ(session.output.size(), together.size());
        EXPECT_TRUE(session.output == together) << "instance " << session.id << " heard its neighbours";
        session.plugin.reset();
    }
}
