#include "core/JobSpeed.h"

#include <gtest/gtest.h>

namespace fr {
namespace {

using namespace std::chrono_literals;

const SpeedWords kWords{QStringLiteral("%1 left"), QStringLiteral("reading damaged area")};

TEST(JobSpeedTest, RateFollowsTheLastSecondsAndTimeLeftWaitsOutDamagedStretches) {
    JobSpeed speed;
    const auto t0 = JobSpeed::Clock::time_point{} + 100s;
    speed.start(t0, 0);
    speed.sample(t0 + 500ms, 5 << 20);
    EXPECT_FALSE(speed.bytesPerSecond()) << "half a second says nothing yet";
    EXPECT_EQ(progressText(3, speed, 100 << 20, kWords), QStringLiteral("3%"));

    // 10 MiB/s for ten seconds, then 2 MiB/s: five seconds later the rate is the new one.
    for (int second = 1; second <= 10; ++second)
        speed.sample(t0 + second * 1s, std::int64_t(second) * (10 << 20));
    EXPECT_NEAR(*speed.bytesPerSecond(), 10 << 20, 1);
    for (int second = 11; second <= 15; ++second)
        speed.sample(t0 + second * 1s, (100 << 20) + std::int64_t(second - 10) * (2 << 20));
    EXPECT_NEAR(*speed.bytesPerSecond(), 2 << 20, 1);
    EXPECT_EQ(speed.timeLeft(240 << 20), 120s);
    EXPECT_EQ(progressText(37, speed, 240 << 20, kWords),
              QStringLiteral("37% \u00b7 2.0 MB/s \u00b7 2 min left"));

    // A failed read hides the time left until reads have gone well for a while.
    speed.sample(t0 + 16s, 112 << 20, 1);
    EXPECT_TRUE(speed.readingDamaged());
    EXPECT_FALSE(speed.timeLeft(1 << 20));
    EXPECT_TRUE(
        progressText(40, speed, 1 << 20, kWords).endsWith(QStringLiteral("reading damaged area")));
    speed.sample(t0 + 20s, 120 << 20, 1);
    EXPECT_FALSE(speed.readingDamaged());
    EXPECT_TRUE(speed.timeLeft(1 << 20));

    // A stalled job has no time left to show.
    JobSpeed stalled;
    stalled.start(t0, 7);
    stalled.sample(t0 + 3s, 7);
    EXPECT_EQ(stalled.bytesPerSecond(), 0.0);
    EXPECT_FALSE(stalled.timeLeft(1));
}

TEST(JobSpeedTest, DurationsAndRatesReadAsPeopleSayThem) {
    EXPECT_EQ(durationText(0s), QStringLiteral("0 s"));
    EXPECT_EQ(durationText(59s), QStringLiteral("59 s"));
    EXPECT_EQ(durationText(61s), QStringLiteral("2 min"));
    EXPECT_EQ(durationText(3600s), QStringLiteral("1 h"));
    EXPECT_EQ(durationText(4801s), QStringLiteral("1 h 21 min"));
    EXPECT_EQ(rateText(12.4 * 1048576), QStringLiteral("12.4 MB/s"));
    EXPECT_EQ(rateText(150.0 * 1048576), QStringLiteral("150 MB/s"));
    EXPECT_EQ(rateText(850 * 1024), QStringLiteral("850 kB/s"));
}

} // namespace
} // namespace fr
