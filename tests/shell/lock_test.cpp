// When the lock starts its scenes: at once the first time, a second after each death,
// and never again once more than five died within a minute.
#include <gtest/gtest.h>

#include "shell/lock.h"

using shell::SceneRestarts;

TEST(SceneRestarts, TheFirstSceneStartsAtOnceAndEachDeathIsFollowedASecondLater) {
    SceneRestarts r;
    EXPECT_TRUE(r.StartDue(5000));
    r.Started(5000);
    EXPECT_FALSE(r.StartDue(5001));
    EXPECT_EQ(r.MillisecondsToStart(5001), -1) << "a running scene needs no start";
    r.Died(7000);
    EXPECT_FALSE(r.Running());
    EXPECT_EQ(r.MillisecondsToStart(7000), 1000);
    EXPECT_FALSE(r.StartDue(7999));
    EXPECT_TRUE(r.StartDue(8000));
    EXPECT_TRUE(r.StartDue(9000)) << "a start that is late is still due";
    r.Died(8100);
    EXPECT_EQ(r.RecentDeaths(), 1u) << "a death without a running scene is no death";
}

TEST(SceneRestarts, MoreThanFiveDeathsWithinAMinuteStopTheStartsForGood) {
    SceneRestarts r;
    std::uint32_t now = 1000;
    for (int death = 1; death <= 5; ++death) {
        r.Started(now);
        r.Died(now + 100);
        EXPECT_FALSE(r.GivenUp()) << death;
        now += 1100;
        EXPECT_TRUE(r.StartDue(now)) << death;
    }
    r.Started(now);
    r.Died(now + 100);
    EXPECT_TRUE(r.GivenUp());
    EXPECT_EQ(r.MillisecondsToStart(now + 100000), -1);
    EXPECT_FALSE(r.StartDue(now + 100000));
}

TEST(SceneRestarts, DeathsOlderThanAMinuteNoLongerCount) {
    SceneRestarts r;
    std::uint32_t now = 0;
    // One death every 12 s: never more than five within any minute.
    for (int death = 0; death < 50; ++death) {
        r.Started(now);
        now += 12000;
        r.Died(now);
        ASSERT_FALSE(r.GivenUp()) << death;
        ASSERT_LE(r.RecentDeaths(), 5u);
    }
    // Across the wrap of the 32-bit millisecond clock.
    SceneRestarts wrap;
    now = 0xFFFFFF00u;
    wrap.Started(now);
    wrap.Died(now);
    EXPECT_EQ(wrap.MillisecondsToStart(now + 500), 500);
    EXPECT_TRUE(wrap.StartDue(now + 1000));
}

TEST(SceneRestarts, TheAllowedDeathsCanBeRaisedAndLowered) {
    SceneRestarts none(0);
    none.Started(0);
    none.Died(10);
    EXPECT_TRUE(none.GivenUp());
    SceneRestarts many(1000);
    for (std::uint32_t t = 0; t < 500; ++t) {
        many.Started(t * 10);
        many.Died(t * 10 + 1);
    }
    EXPECT_FALSE(many.GivenUp());
}
