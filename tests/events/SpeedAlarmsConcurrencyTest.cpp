// The options page edits the alarms on the UI thread while the GPS reader checks every fix.
#include "events/SpeedAlarms.h"

#include "core/GpsFix.h"
#include "tests/support/FakeSoundPlayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace movira {
namespace {

TEST(SpeedAlarmsConcurrency, EditsWhileFixesArriveStayConsistent) {
    test::FakeSoundPlayer player;
    SpeedAlarms alarms(&player);
    constexpr int kFixes = 20000;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < kFixes; ++i) {
            GpsFix fix;
            fix.speed = static_cast<float>((i * 7) % 130);  // up and down through every limit
            alarms.check(fix);
        }
        done = true;
    });
    int edits = 0;
    while (!done) {
        const int i = edits % 3;
        alarms.setEntry(i, 20 + 40 * i + edits % 5, 1 + edits % 10, edits % 2 == 0);
        alarms.setBeepOnZero(edits % 3 == 0);
        // What the page shows while the reader runs (ThreadSanitizer watches these reads).
        EXPECT_EQ(alarms.limit(i), 20 + 40 * i + edits % 5);
        EXPECT_EQ(alarms.band(i), 1 + edits % 10);
        ++edits;
    }
    reader.join();
    EXPECT_EQ(alarms.entryCount(), 3u);
    // At most the stop sound and one limit sound per fix.
    EXPECT_LE(player.count(), 2u * kFixes);
}

}  // namespace
}  // namespace movira
