#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace velt {
namespace {

// Each thread sleeps its own pause a few times and notes when it woke; the last sleeps once
// and ends while the others sleep, which must not stall them. A clock that moved on while one
// thread was awake would show that thread a later time than its pauses add up to.
TEST(VirtualClockTest, ThreadsSideBySideWakeExactlyAndOneEndingLetsTheOthersOn) {
    VirtualClock clock;
    clock.SleepMs(5);  // alone: at once
    const std::vector<std::uint32_t> pauses = {20, 30, 70};
    const std::vector<int> rounds = {4, 4, 1};
    std::vector<std::vector<std::uint64_t>> woke(pauses.size());
    std::vector<std::thread> threads;
    clock.ThreadStarted();  // this thread, so that no thread runs ahead while it starts them
    for (std::size_t t = 0; t < pauses.size(); ++t) {
        clock.ThreadStarted();
        threads.emplace_back([&, t] {
            for (int i = 0; i < rounds[t]; ++i) {
                clock.SleepMs(pauses[t]);
                woke[t].push_back(clock.NowMs());
            }
            clock.ThreadEnded();
        });
    }
    clock.ThreadEnded();
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(woke[0], (std::vector<std::uint64_t>{25, 45, 65, 85}));
    EXPECT_EQ(woke[1], (std::vector<std::uint64_t>{35, 65, 95, 125}));
    EXPECT_EQ(woke[2], (std::vector<std::uint64_t>{75}));
    clock.SleepMs(10);  // every thread ended: at once again
    EXPECT_EQ(clock.NowMs(), 135u);
}

}  // namespace
}  // namespace velt
