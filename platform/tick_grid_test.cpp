#include "platform/tick_grid.h"

#include <gtest/gtest.h>

namespace dravix {
namespace {

// Ticks that start again after a sleep keep the grid that started with the program: the first
// one comes at the next multiple of 100 ms, at once when one falls due just then.
TEST(TickGrid, TheFirstTickAfterAWakeFallsOnTheGrid) {
    const struct {
        long long elapsed;
        long long untilTick;
    } rows[] = {{0, 0}, {1, 99}, {99, 1}, {100, 0}, {250, 50}, {12345, 55}};
    for (const auto& row : rows)
        EXPECT_EQ(millisecondsToNextTick(row.elapsed), row.untilTick) << row.elapsed;
}

} // namespace
} // namespace dravix
