#include "platform/random.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(Random, FollowsTheRunTimeSequenceWithinFifteenBits) {
    platform::SeedRandom(1);
    EXPECT_EQ(platform::NextRandom(), 41);
    EXPECT_EQ(platform::NextRandom(), 18467);
    EXPECT_EQ(platform::NextRandom(), 6334);
    platform::SeedRandom(0xFFFFFFFFu);
    for (int i = 0; i < 10000; ++i) {
        const int value = platform::NextRandom();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
}

TEST(Random, SeedingOneThreadLeavesAnotherAlone) {
    platform::SeedRandom(1);
    std::thread other([] {
        platform::SeedRandom(12345);
        platform::NextRandom();
    });
    other.join();
    EXPECT_EQ(platform::NextRandom(), 41);
    int fresh = -1;
    std::thread unseeded([&fresh] { fresh = platform::NextRandom(); });
    unseeded.join();
    EXPECT_EQ(fresh, 41);
}

} // namespace
