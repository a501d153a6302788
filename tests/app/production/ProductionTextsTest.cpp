#include "app/production/ProductionTexts.h"

#include <gtest/gtest.h>

namespace velt::production {
namespace {

TEST(ProductionTexts, CountersSayTheShortfallOfPassedDevicesOnly) {
    EXPECT_EQ(CountersLine({3, 1, 2, std::nullopt}), "Passed 3    Failed 1    Already done 2");
    // Already done devices may be passed ones plugged in again: they do not fill the count.
    EXPECT_EQ(CountersLine({3, 1, 2, 6}),
              "Passed 3    Failed 1    Already done 2    Expected 6: 3 short");
    EXPECT_EQ(CountersLine({6, 0, 0, 6}),
              "Passed 6    Failed 0    Already done 0    Expected 6: reached");
    EXPECT_EQ(CountersLine({7, 0, 0, 6}),
              "Passed 7    Failed 0    Already done 0    Expected 6: reached");
}

TEST(ProductionTexts, EveryStateHasItsWords) {
    Tile tile;
    EXPECT_EQ(StateWords(tile), "Free");
    tile.state = TileState::Waiting;
    EXPECT_EQ(StateWords(tile), "Waiting for bootloader");
    tile.state = TileState::Writing;
    tile.percent = 42;
    EXPECT_EQ(StateWords(tile), "Writing 42%");
    // A percentage out of range from a device's count never reads as more than done.
    tile.percent = 130;
    EXPECT_EQ(StateWords(tile), "Writing 100%");
    tile.percent = -4;
    EXPECT_EQ(StateWords(tile), "Writing 0%");
    tile.state = TileState::Passed;
    EXPECT_EQ(StateWords(tile), "PASS");
    tile.state = TileState::Failed;
    tile.reason = "record refused";
    EXPECT_EQ(StateWords(tile), "FAIL");
    tile.state = TileState::AlreadyDone;
    EXPECT_EQ(StateWords(tile), "Already done");
}

}  // namespace
}  // namespace velt::production
