#include "platform/SystemTime.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

namespace movira {
namespace {

class SystemTimeTest : public ::testing::Test {
protected:
    void useZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
};

TEST_F(SystemTimeTest, FileTimeRoundTrip) {
    const SystemTime epoch{1601, 1, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(epoch.toFileTime(), 0);
    const SystemTime unixEpoch{1970, 1, 4, 1, 0, 0, 0, 0};
    EXPECT_EQ(unixEpoch.toFileTime(), 116444736000000000LL);
    const SystemTime t{2024, 2, 4, 29, 23, 59, 58, 999};
    const auto back = SystemTime::fromFileTime(*t.toFileTime());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->sameSecond(t));
    EXPECT_EQ(back->milliseconds, 999);
    EXPECT_EQ(back->dayOfWeek, 4);  // a Thursday
}

TEST_F(SystemTimeTest, OutOfRangeFieldsDoNotConvert) {
    for (const SystemTime& t : {SystemTime{2023, 2, 0, 29, 0, 0, 0, 0}, SystemTime{2024, 13, 0, 1, 0, 0, 0, 0},
                                SystemTime{2024, 0, 0, 1, 0, 0, 0, 0}, SystemTime{2024, 1, 0, 0, 0, 0, 0, 0},
                                SystemTime{2024, 1, 0, 1, 24, 0, 0, 0}, SystemTime{2024, 1, 0, 1, 0, 60, 0, 0},
                                SystemTime{2024, 1, 0, 1, 0, 0, 60, 0}, SystemTime{1600, 12, 0, 31, 0, 0, 0, 0},
                                SystemTime{65535, 65535, 0, 65535, 65535, 65535, 65535, 65535}}) {
        EXPECT_FALSE(t.toFileTime());
        EXPECT_FALSE(t.utcToLocal());
        EXPECT_FALSE(t.localToUtc());
    }
    EXPECT_FALSE(SystemTime::fromFileTime(-1));
    EXPECT_FALSE(SystemTime::fromFileTime(INT64_MAX));
}

TEST_F(SystemTimeTest, ZonesFollowTz) {
    useZone("XST-3");
    const SystemTime utc{1999, 12, 5, 31, 22, 35, 19, 250};
    const auto local = utc.utcToLocal();
    ASSERT_TRUE(local);
    EXPECT_EQ(local->year, 2000);
    EXPECT_EQ(local->day, 1);
    EXPECT_EQ(local->hour, 1);
    EXPECT_EQ(local->milliseconds, 250);
    const auto again = local->localToUtc();
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->sameSecond(utc));

    // Summer time in a zone with rules (POSIX form, no tz database needed).
    useZone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(SystemTime({2024, 7, 0, 1, 12, 0, 0, 0}).utcToLocal()->hour, 14);
    EXPECT_EQ(SystemTime({2024, 1, 0, 1, 12, 0, 0, 0}).utcToLocal()->hour, 13);
}

}  // namespace
}  // namespace movira
