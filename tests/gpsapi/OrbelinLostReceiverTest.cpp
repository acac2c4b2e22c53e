// libOrbelin.so when the receiver misbehaves while gpsd runs on: a receiver that is unplugged or
// falls silent, reports libgps cannot read, several receivers on one gpsd. Against the fake gpsd
// on the loopback address for the reports a real one cannot be made to send, and against a real
// gpsd fed by nmea-replay for the receiver that is killed mid-drive and comes back.
#include "core/PositionRecord.h"
#include "gpsapi/FollowedDevice.h"
#include "tests/gpsapi/FakeGpsd.h"
#include "tests/gpsapi/GpsdPeer.h"
#include "tests/gpsapi/LoadedOrbelin.h"
#include "tests/gpsapi/OrbelinGpsdFixture.h"
#include "tests/support/Eventually.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>

namespace movira {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::eventually;

constexpr auto kStale = FollowedDevice::kStaleAfter;
// Room for a loaded machine (sanitizer builds, parallel tests).
constexpr auto kSlack = 2s;

bool hasFix(const PositionRecord& r) { return r.fixType != 0; }

// A TPV of `device` at second `second` after 08:00:00; `position` is its "lat" and "lon" as JSON.
std::string tpv(const std::string& device, int second, const std::string& position, int mode = 3) {
    char time[32];
    std::snprintf(time, sizeof time, "2026-06-14T08:%02d:%02d.000Z", second / 60 % 60, second % 60);
    return R"({"class":"TPV","device":")" + device + R"(","mode":)" + std::to_string(mode) + R"(,"time":")" +
           time + "\"," + position + R"(,"speed":10.0})" + "\r\n";
}
std::string deviceGone(const std::string& device) {
    return R"({"class":"DEVICE","path":")" + device + R"(","activated":0})" + "\r\n";
}
int secondOf(const PositionRecord& r) { return r.utcTime.minute * 60 + r.utcTime.second; }

class OrbelinWithFakeGpsd : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("GPSD_HOST", "127.0.0.1", 1);
        setenv("GPSD_PORT", std::to_string(gpsd.port()).c_str(), 1);
    }
    void TearDown() override {
        if (library.ok()) library.stop();
        for (const char* name : {"GPSD_HOST", "GPSD_PORT", "GPSD_DEVICE"}) unsetenv(name);
    }
    void connect() {
        ASSERT_TRUE(library.ok()) << library.error();
        library.start();
        ASSERT_TRUE(gpsd.accept(5s));
    }
    // Sends a report and waits until the record carries its second (a TPV with a time).
    bool deliver(const std::string& report, int second) {
        return gpsd.send(report) && eventually([&] {
                   const PositionRecord r = library.position();
                   return (r.validFields & PositionRecord::UtcTimeValid) && secondOf(r) == second;
               });
    }

    test::FakeGpsd gpsd;
    test::LoadedOrbelin library;
};

TEST_F(OrbelinWithFakeGpsd, AReportLibgpsCouldNotReadNeverKeepsTheOldPosition) {
    connect();
    const char* bad[] = {
        R"("lat":"59.93","lon":30.31)",  // a number as text: libgps reads nothing from there on
        R"("lat":1e999,"lon":30.31)",    // infinity
        R"("lat":59.93,"lon":-1e999)",
        R"("lat":59.93)",                // no longitude
        R"("lon":30.31)",
        R"("lat":95.0,"lon":30.31)",     // off the globe
    };
    int second = 0;
    for (const char* position : bad) {
        SCOPED_TRACE(position);
        second += 2;
        ASSERT_TRUE(deliver(tpv("/dev/fake", second - 1, R"("lat":59.93,"lon":30.31)"), second - 1));
        ASSERT_TRUE(hasFix(library.position()));
        ASSERT_TRUE(deliver(tpv("/dev/fake", second, position), second));
        const PositionRecord r = library.position();
        EXPECT_FALSE(hasFix(r));
        EXPECT_EQ(r.validFields & (PositionRecord::LatitudeValid | PositionRecord::LongitudeValid), 0u);
    }
}

TEST_F(OrbelinWithFakeGpsd, APositionThatIsNotRenewedExpires) {
    connect();
    ASSERT_TRUE(deliver(tpv("/dev/fake", 1, R"("lat":59.93,"lon":30.31)"), 1));
    const auto sent = Clock::now();
    // gpsd runs on, the receiver says nothing more.
    ASSERT_TRUE(eventually([&] { return !hasFix(library.position()); }, kStale + kSlack));
    EXPECT_GE(Clock::now() - sent, kStale - 100ms);
    EXPECT_EQ(library.position().validFields, 0u);
    // It speaks again: its fixes count again.
    EXPECT_TRUE(deliver(tpv("/dev/fake", 9, R"("lat":59.94,"lon":30.31)"), 9));
    EXPECT_TRUE(hasFix(library.position()));
}

TEST_F(OrbelinWithFakeGpsd, AReceiverThatGoesAwayEndsTheFixAtOnce) {
    connect();
    ASSERT_TRUE(deliver(tpv("/dev/fake", 1, R"("lat":59.93,"lon":30.31)"), 1));
    const auto sent = Clock::now();
    ASSERT_TRUE(gpsd.send(deviceGone("/dev/other")));  // another one's going changes nothing
    ASSERT_TRUE(gpsd.send(deviceGone("/dev/fake")));
    ASSERT_TRUE(eventually([&] { return !hasFix(library.position()); }, kStale + kSlack));
    EXPECT_LT(Clock::now() - sent, kStale);
}

// Two receivers, /dev/a at latitude 10 and /dev/b at 20, on one gpsd; /dev/b speaks first but has
// no fix yet. The record follows one of them only; once /dev/a has gone, /dev/b in any case.
TEST_F(OrbelinWithFakeGpsd, OneOfSeveralReceiversIsFollowed) {
    const struct {
        const char* named;  // GPSD_DEVICE
        double followed;
    } cases[] = {{"", 10}, {"/dev/b", 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        if (*c.named) setenv("GPSD_DEVICE", c.named, 1);
        library.start();
        ASSERT_TRUE(gpsd.accept(5s));
        std::string reports = tpv("/dev/b", 0, R"("lat":20,"lon":1)", 1);
        for (int s = 1; s <= 20; ++s) {
            reports += tpv("/dev/a", s, R"("lat":10,"lon":1)") + tpv("/dev/b", s, R"("lat":20,"lon":1)");
        }
        ASSERT_TRUE(gpsd.send(reports));
        std::vector<double> latitudes;
        ASSERT_TRUE(eventually([&] {
            const PositionRecord r = library.position();
            if (hasFix(r) && (latitudes.empty() || latitudes.back() != r.latitude)) latitudes.push_back(r.latitude);
            return secondOf(r) == 20;
        }));
        EXPECT_EQ(latitudes, std::vector<double>{c.followed});

        ASSERT_TRUE(gpsd.send(deviceGone("/dev/a") + tpv("/dev/b", 21, R"("lat":20,"lon":1)") +
                              tpv("/dev/b", 22, R"("lat":20,"lon":1)")));
        std::this_thread::sleep_for(500ms);
        const PositionRecord r = library.position();
        EXPECT_EQ(r.latitude, 20);
        EXPECT_EQ(secondOf(r), 22);
        library.stop();
        unsetenv("GPSD_DEVICE");
    }
}

class OrbelinWithGpsdAndLostReceiver : public test::OrbelinGpsdFixture {};

TEST_F(OrbelinWithGpsdAndLostReceiver, AReceiverKilledMidDriveEndsTheFixUntilItIsBack) {
    const std::string drive = MOVIRA_SOURCE_DIR "/data/demo/demo-drive.nmea";
    ASSERT_TRUE(peer.startReceiver({drive}, 1, true));
    ASSERT_TRUE(peer.startGpsd());
    library.start();
    ASSERT_TRUE(eventually([&] { return hasFix(library.position()); }, 15s));

    // Killed without a word to gpsd, which runs on and sends nothing more.
    peer.killReceiver();
    const auto killed = Clock::now();
    ASSERT_TRUE(eventually([&] { return !hasFix(library.position()); }, kStale + kSlack + 1s));
    EXPECT_GE(Clock::now() - killed, kStale - 1s);  // not before its fixes could have been late
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(hasFix(library.position()));

    // Plugged in again: the hotplug rules take the old device out of gpsd and give it the new one.
    ASSERT_TRUE(peer.startReceiver({drive}, 1, true));
    peer.control("-" + peer.device());  // unless gpsd has given it up by itself
    peer.control("+" + peer.device());
    EXPECT_TRUE(eventually([&] { return hasFix(library.position()); }, 15s));

    // Unplugged with gpsd told at once: no fix long before the position would have expired.
    ASSERT_TRUE(peer.control("-" + peer.device()));
    const auto removed = Clock::now();
    ASSERT_TRUE(eventually([&] { return !hasFix(library.position()); }, kStale + kSlack));
    EXPECT_LT(Clock::now() - removed, kStale);
}

}  // namespace
}  // namespace movira
