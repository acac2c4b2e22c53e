// libOrbelin.so against the real gpsd: receiver logs played by nmea-replay into a gpsd of the
// test's own, the library loaded and called the way the program does it.
#include "core/PositionRecord.h"
#include "tests/gpsapi/FakeGpsd.h"
#include "tests/gpsapi/GpsdPeer.h"
#include "tests/gpsapi/LoadedOrbelin.h"
#include "tests/gpsapi/OrbelinGpsdFixture.h"
#include "tests/gpsapi/ReceiverLog.h"
#include "tests/support/Eventually.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace movira {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::eventually;

const std::string demoDrive = MOVIRA_SOURCE_DIR "/data/demo/demo-drive.nmea";
const std::string logDir = MOVIRA_NMEA_LOG_DIR;

// gpsd writes degrees with 9 decimals, speeds in m/s with 3, tracks with 4, altitudes with 4.
constexpr double kDegreesTolerance = 1e-7;
constexpr double kKnotsTolerance = 0.002;
constexpr double kCourseTolerance = 0.001;
constexpr double kAltitudeTolerance = 0.001;
constexpr double kDopTolerance = 0.005;

bool hasFix(const PositionRecord& r) { return r.fixType != 0; }
bool saysNothing(const PositionRecord& r) {
    return r.fixType == 0 && r.validFields == 0 && r.satellitesInView == 0;
}

std::optional<int64_t> unixTime(const PositionRecord& r) {
    if (!(r.validFields & PositionRecord::UtcTimeValid)) return std::nullopt;
    tm t{};
    t.tm_year = r.utcTime.year - 1900;
    t.tm_mon = r.utcTime.month - 1;
    t.tm_mday = r.utcTime.day;
    t.tm_hour = r.utcTime.hour;
    t.tm_min = r.utcTime.minute;
    t.tm_sec = r.utcTime.second;
    return static_cast<int64_t>(timegm(&t));
}

// gpsd reads a date from before its own release as one a GPS week rollover (1024 weeks) behind and
// moves it forward: the NEO-M8N's log of 2015 comes out in 2034, in gpsd's own test output too.
const test::LoggedSecond* loggedAt(const test::ReceiverLog& log, int64_t time) {
    constexpr int64_t kRollover = 1024 * 7 * 86400;
    const test::LoggedSecond* second = log.at(time);
    return second ? second : log.at(time - kRollover);
}

double processCpuSeconds() {
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) * 1e-9;
}

int threadCount() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

// A thread that has been joined may stay listed a moment longer: the counts are waited for, and
// a thread that stays is still caught.
bool threadsBecome(int count) {
    return eventually([count] { return threadCount() == count; });
}

// The threads of the process once the library has run and stopped: those it has anyway, a
// sanitizer's for one, are there by then.
int threadsAfterARound(test::LoadedOrbelin& library) {
    library.start();
    EXPECT_TRUE(eventually([&] { return hasFix(library.position()); }));
    const int running = threadCount();
    library.stop();
    EXPECT_TRUE(eventually([running] { return threadCount() < running; }));
    return threadCount();
}

// Where the fix part of a record disagrees with the log's RMC and GGA of its second.
std::string fixMismatch(const PositionRecord& r, const test::LoggedSecond& s) {
    std::string out;
    if (!s.valid) return "a fix in a second without one";
    if (!(r.validFields & PositionRecord::LatitudeValid) ||
        std::fabs(r.latitude - s.latitude) > kDegreesTolerance) {
        out += " latitude " + std::to_string(r.latitude) + " log " + std::to_string(s.latitude);
    }
    if (!(r.validFields & PositionRecord::LongitudeValid) ||
        std::fabs(r.longitude - s.longitude) > kDegreesTolerance) {
        out += " longitude " + std::to_string(r.longitude) + " log " + std::to_string(s.longitude);
    }
    if (!(r.validFields & PositionRecord::SpeedValid) || std::fabs(r.speed - s.knots) > kKnotsTolerance) {
        out += " knots " + std::to_string(r.speed) + " log " + std::to_string(s.knots);
    }
    if ((r.validFields & PositionRecord::HeadingValid) &&
        (!s.course || std::fabs(r.heading - *s.course) > kCourseTolerance)) {
        out += " heading " + std::to_string(r.heading);
    }
    if ((r.validFields & PositionRecord::AltitudeSeaLevelValid) &&
        (!s.altitude || std::fabs(r.altitudeSeaLevel - *s.altitude) > kAltitudeTolerance)) {
        out += " altitude " + std::to_string(r.altitudeSeaLevel);
    }
    return out;
}

// Whether the sky part of a record is that of the logged second: same satellites with the same
// elevation, azimuth and SNR, same used count and DOPs.
bool skyMatches(const PositionRecord& r, const test::LoggedSecond& s) {
    if (r.satellitesInView != std::min<size_t>(s.satellites.size(), 12) ||
        r.satellitesUsed != uint32_t(s.used)) {
        return false;
    }
    for (uint32_t i = 0; i < r.satellitesInView; ++i) {
        const auto logged =
            std::find_if(s.satellites.begin(), s.satellites.end(),
                         [&](const test::LoggedSatellite& l) { return l.prn == r.inViewPrns[i]; });
        if (logged == s.satellites.end() || logged->elevation != r.inViewElevations[i] ||
            logged->azimuth != r.inViewAzimuths[i] || logged->snr != r.inViewSnrs[i]) {
            return false;
        }
    }
    const auto dopMatches = [&](uint32_t bit, float value, const std::optional<double>& logged) {
        return (r.validFields & bit) ? logged && std::fabs(value - *logged) <= kDopTolerance : !logged;
    };
    return dopMatches(PositionRecord::PdopValid, r.pdop, s.pdop) &&
           dopMatches(PositionRecord::HdopValid, r.hdop, s.hdop) &&
           dopMatches(PositionRecord::VdopValid, r.vdop, s.vdop);
}

// The record's SNRs are the strongest of the second's satellites, strongest first. gpsd reports
// the sky after each constellation's GSV group, with the satellites of the groups so far.
bool strongestFirst(const PositionRecord& r, const test::LoggedSecond& s) {
    for (const size_t groupEnd : s.groupEnds) {
        std::vector<int> logged;
        for (size_t i = 0; i < groupEnd; ++i) logged.push_back(s.satellites[i].snr);
        std::sort(logged.rbegin(), logged.rend());
        logged.resize(std::min<size_t>(logged.size(), 12));
        if (logged.size() == r.satellitesInView &&
            std::equal(logged.begin(), logged.end(), r.inViewSnrs, r.inViewSnrs + r.satellitesInView)) {
            return true;
        }
    }
    return false;
}

class OrbelinWithGpsd : public test::OrbelinGpsdFixture {
protected:
    // Every distinct record GetGPSPos gave while polling fast, until `done` held (and a little after).
    std::vector<PositionRecord> collect(const std::function<bool()>& done, std::chrono::seconds limit) {
        std::vector<PositionRecord> seen;
        const auto until = Clock::now() + limit;
        auto settle = Clock::time_point::max();
        while (Clock::now() < std::min(until, settle)) {
            const PositionRecord r = library.position();
            if (seen.empty() || std::memcmp(&seen.back(), &r, sizeof r) != 0) seen.push_back(r);
            if (settle == Clock::time_point::max() && done()) settle = Clock::now() + 300ms;
            std::this_thread::sleep_for(1ms);
        }
        return seen;
    }

    // Writes the log's lines of [from, to) seconds, several ranges one after the other, to a file.
    std::string partOf(const test::ReceiverLog& log, const std::vector<std::pair<int64_t, int64_t>>& ranges) {
        const std::string path = (peer.folder() / "part.nmea").string();
        std::ofstream out(path, std::ios::binary);
        for (const auto& [from, to] : ranges) out << log.text(from, to);
        return path;
    }
};

TEST_F(OrbelinWithGpsd, DemoDriveRecordsAgreeWithTheLog) {
    const test::ReceiverLog log(demoDrive);
    const int64_t start = log.seconds().begin()->first;  // 08:00:00
    // From rest to 100 km/h; then the slowdown, the tunnel without a fix and a stop in town. gpsd
    // reads what queued up before it started in one go, and learns the receiver's cycle: the first
    // 20 seconds played only warm it up.
    const int64_t tunnelFrom = start + 11 * 60 + 21, tunnelTo = start + 11 * 60 + 37;
    const std::vector<std::pair<int64_t, int64_t>> ranges{{start + 5, start + 65},
                                                          {start + 650, start + 730}};
    const std::vector<std::pair<int64_t, int64_t>> checked{{start + 25, start + 65},
                                                           {start + 650, start + 730}};
    library.start();  // before gpsd: it connects as soon as gpsd is there
    ASSERT_TRUE(peer.startReceiver({partOf(log, ranges)}, 20));
    ASSERT_TRUE(peer.startGpsd());

    const std::vector<PositionRecord> records = collect([&] { return peer.receiverDone(0ms); }, 40s);

    std::vector<std::string> problems;
    std::set<int64_t> fixSeconds, noFixSeconds;
    size_t withAltitude = 0, skyChecked = 0, skyMatched = 0;
    for (const PositionRecord& r : records) {
        EXPECT_EQ(r.size, sizeof(PositionRecord));
        const auto time = unixTime(r);
        if (!time) {
            if (hasFix(r)) problems.push_back("a fix without a time");
            continue;
        }
        const test::LoggedSecond* second = log.at(*time);
        if (!second) {
            problems.push_back("a time the log does not have: " + std::to_string(*time));
            continue;
        }
        tm utc{};
        const time_t t = *time;
        gmtime_r(&t, &utc);
        if (r.utcTime.dayOfWeek != utc.tm_wday || r.utcTime.milliseconds != 0) {
            problems.push_back("day of the week or milliseconds");
        }
        if (hasFix(r)) {
            if (*time >= checked[0].first) fixSeconds.insert(*time);
            withAltitude += (r.validFields & PositionRecord::AltitudeSeaLevelValid) != 0;
            if (const std::string mismatch = fixMismatch(r, *second); !mismatch.empty()) {
                problems.push_back(std::to_string(*time - start) + " s:" + mismatch);
            }
        } else {
            noFixSeconds.insert(*time);
            if (r.validFields & (PositionRecord::LatitudeValid | PositionRecord::LongitudeValid |
                                 PositionRecord::SpeedValid | PositionRecord::AltitudeSeaLevelValid)) {
                problems.push_back("a position without a fix");
            }
            // gpsd may take the second after the fix returns to say so.
            const test::LoggedSecond* before = log.at(*time - 1);
            if (second->valid && (!before || before->valid)) {
                problems.push_back(std::to_string(*time - start) + " s: no fix where the log has one");
            }
        }
        // gpsd reports a second's sky after its position, with the next second's satellites.
        if (r.satellitesInView > 0) {
            ++skyChecked;
            for (int64_t s : {*time, *time + 1, *time - 1}) {
                if (const test::LoggedSecond* logged = log.at(s); logged && skyMatches(r, *logged)) {
                    ++skyMatched;
                    break;
                }
            }
        }
    }
    EXPECT_TRUE(problems.empty()) << problems.size() << " records disagree, first: " << problems.front();

    // Nearly every second of the played parts came through, the tunnel as seconds without a fix.
    size_t loggedFixes = 0;
    for (const auto& [from, to] : checked) {
        for (int64_t s = from; s < to; ++s) loggedFixes += log.at(s) && log.at(s)->valid;
    }
    EXPECT_GE(fixSeconds.size(), loggedFixes * 9 / 10) << "of " << loggedFixes;
    size_t tunnelSeen = 0;
    for (int64_t s = tunnelFrom; s < tunnelTo; ++s) tunnelSeen += noFixSeconds.count(s);
    EXPECT_GE(tunnelSeen, 14u);
    EXPECT_GE(withAltitude, fixSeconds.size());  // at least one record per second carries it
    // gpsd's own timing may mix two seconds now and then; nearly all satellite tables are whole.
    EXPECT_GE(skyMatched, skyChecked * 98 / 100) << "of " << skyChecked;
    EXPECT_GT(skyChecked, loggedFixes);
}

// $GN, $GL, $GA and $GB sentences of u-blox receivers, more than 12 satellites in view.
TEST_F(OrbelinWithGpsd, MultiConstellationLogsGivePositions) {
    for (const char* name : {"neo-m8n.log", "ublox-neo-m9n-nmea.log"}) {
        SCOPED_TRACE(name);
        const std::string path = logDir + "/" + name;
        const test::ReceiverLog log(path);
        test::GpsdPeer gpsd;
        setenv("GPSD_PORT", gpsd.portText().c_str(), 1);
        library.start();
        // Its first ten seconds once more in front, while gpsd gets to know the receiver.
        const int64_t first = log.seconds().begin()->first, last = log.seconds().rbegin()->first;
        ASSERT_TRUE(gpsd.startReceiver({partOf(log, {{first, first + 10}, {first, last + 1}})}, 8));
        ASSERT_TRUE(gpsd.startGpsd());

        const std::vector<PositionRecord> records = collect([&] { return gpsd.receiverDone(0ms); }, 30s);
        library.stop();

        std::set<int64_t> fixSeconds;
        size_t full = 0, strongest = 0;
        for (const PositionRecord& r : records) {
            if (!hasFix(r)) continue;
            const auto time = unixTime(r);
            ASSERT_TRUE(time);
            const test::LoggedSecond* second = loggedAt(log, *time);
            ASSERT_NE(second, nullptr) << "a time the log does not have: " << *time;
            fixSeconds.insert(*time);
            EXPECT_EQ(fixMismatch(r, *second), "");
            if (r.satellitesInView == 12) {
                ++full;
                EXPECT_TRUE(std::is_sorted(r.inViewSnrs, r.inViewSnrs + 12, std::greater<>()));
                for (int64_t s : {*time, *time + 1, *time - 1}) {
                    if (const test::LoggedSecond* logged = loggedAt(log, s);
                        logged && strongestFirst(r, *logged)) {
                        ++strongest;
                        break;
                    }
                }
            }
        }
        EXPECT_GE(fixSeconds.size(), log.seconds().size() * 9 / 10) << "of " << log.seconds().size();
        EXPECT_GT(full, 0u);
        EXPECT_GE(strongest, full * 95 / 100) << "of " << full;
    }
}

TEST_F(OrbelinWithGpsd, PositionsResumeWheneverGpsdComesBack) {
    ASSERT_TRUE(peer.startReceiver({demoDrive}, 4, true));
    library.start();  // before gpsd exists
    std::this_thread::sleep_for(600ms);
    EXPECT_TRUE(saysNothing(library.position()));

    ASSERT_TRUE(peer.startGpsd());
    ASSERT_TRUE(eventually([&] { return hasFix(library.position()); }, 15s));
    const int64_t firstRun = *unixTime(library.position());

    peer.stopGpsd();  // gpsd goes away while the library reads from it
    EXPECT_TRUE(eventually([&] { return saysNothing(library.position()); }, 5s));

    ASSERT_TRUE(peer.startGpsd());
    EXPECT_TRUE(eventually(
        [&] {
            const PositionRecord r = library.position();
            return hasFix(r) && unixTime(r) > firstRun;
        },
        15s));
}

TEST_F(OrbelinWithGpsd, StartAndStopManyTimesInARow) {
    // Before the first start: a whole record that says no fix.
    ASSERT_NE(library.address(), nullptr);
    EXPECT_TRUE(saysNothing(library.position()));
    EXPECT_EQ(library.position().size, sizeof(PositionRecord));

    ASSERT_TRUE(peer.startReceiver({demoDrive}, 5, true));
    ASSERT_TRUE(peer.startGpsd());
    const int threadsBefore = threadsAfterARound(library);
    for (int round = 0; round < 40; ++round) {
        EXPECT_EQ(library.start(), 0);
        if (round % 10 == 0) {
            EXPECT_TRUE(eventually([&] { return hasFix(library.position()); }));
            EXPECT_EQ(library.start(), 0);  // already running: no second thread
            EXPECT_TRUE(threadsBecome(threadsBefore + 1));
        }
        library.position();
        const auto before = Clock::now();
        EXPECT_EQ(library.stop(), 0);
        EXPECT_LT(Clock::now() - before, 2s);
        EXPECT_TRUE(saysNothing(library.position()));
    }
    EXPECT_EQ(library.stop(), 0);  // stopped already: nothing happens
    EXPECT_TRUE(threadsBecome(threadsBefore));
    library.start();
    EXPECT_TRUE(eventually([&] { return hasFix(library.position()); }));
}

TEST_F(OrbelinWithGpsd, UnloadingWithoutStopEndsTheThread) {
    ASSERT_TRUE(peer.startReceiver({demoDrive}, 5, true));
    ASSERT_TRUE(peer.startGpsd());
    const int threadsBefore = threadsAfterARound(library);
    library.unload();
    {
        test::LoadedOrbelin loaded;
        ASSERT_TRUE(loaded.ok());
        loaded.start();
        ASSERT_TRUE(eventually([&] { return hasFix(loaded.position()); }));
        EXPECT_TRUE(threadsBecome(threadsBefore + 1));
        const auto before = Clock::now();
        loaded.unload();  // no StopGPSAPI
        EXPECT_LT(Clock::now() - before, 2s);
    }
    EXPECT_FALSE(test::LoadedOrbelin::isMapped());
    EXPECT_TRUE(threadsBecome(threadsBefore));
}

// A local port whose accept queue is full: connection attempts get no answer at all, as with an
// address whose packets are dropped.
class BlackHole {
public:
    BlackHole() {
        listener_ = listenOn(0);
        for (int i = 0; i < 2; ++i) fillers_.push_back(connectTo(port()));
    }
    ~BlackHole() {
        for (int fd : fillers_) close(fd);
        close(listener_);
    }
    int port() const {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }

private:
    static int listenOn(int port) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd, 0);
        return fd;
    }
    static int connectTo(int port) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        return fd;
    }

    int listener_ = -1;
    std::vector<int> fillers_;
};

int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

TEST(OrbelinConnection, StopAndUnloadReturnPromptlyWhateverTheConnectDoes) {
    BlackHole blackHole;
    const struct {
        const char* what;
        std::string host;
        std::string port;
    } cases[] = {
        {"nothing listens", "127.0.0.1", std::to_string(closedPort())},
        {"connect never answered", "127.0.0.1", std::to_string(blackHole.port())},
        {"name that does not resolve", "gpsd.invalid", "2947"},
        {"port that is no number", "localhost", "no-such-service"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setenv("GPSD_HOST", c.host.c_str(), 1);
        setenv("GPSD_PORT", c.port.c_str(), 1);
        test::LoadedOrbelin library;
        ASSERT_TRUE(library.ok()) << library.error();
        EXPECT_EQ(library.start(), 0);  // succeeds without gpsd
        const double cpuBefore = processCpuSeconds();
        std::this_thread::sleep_for(400ms);
        EXPECT_LT(processCpuSeconds() - cpuBefore, 0.1);  // it waits between attempts, it does not spin
        EXPECT_TRUE(saysNothing(library.position()));
        auto before = Clock::now();
        library.stop();
        EXPECT_LT(Clock::now() - before, 2s);

        library.start();
        std::this_thread::sleep_for(300ms);
        before = Clock::now();
        library.unload();
        EXPECT_LT(Clock::now() - before, 2s);
    }
    unsetenv("GPSD_HOST");
    unsetenv("GPSD_PORT");
}

// TCP may cut a report anywhere: the library waits for the rest without spinning or blocking,
// and a gpsd that goes in the middle of a report is noticed all the same.
TEST(OrbelinConnection, HalfAReportIsWaitedForAndAConnectionLostInOneIsNoticed) {
    test::FakeGpsd gpsd;
    setenv("GPSD_HOST", "127.0.0.1", 1);
    setenv("GPSD_PORT", std::to_string(gpsd.port()).c_str(), 1);
    test::LoadedOrbelin library;
    ASSERT_TRUE(library.ok()) << library.error();
    library.start();
    ASSERT_TRUE(gpsd.accept(5s));

    const std::string tpv =
        R"({"class":"TPV","device":"/dev/fake","mode":3,"time":"2026-06-14T08:00:01.500Z",)"
        R"("lat":59.93,"lon":30.31,"altMSL":17.5,"track":162.0,"speed":10.0})"
        "\r\n";
    ASSERT_TRUE(gpsd.send(tpv.substr(0, 50)));
    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.1);
    EXPECT_FALSE(hasFix(library.position()));
    ASSERT_TRUE(gpsd.send(tpv.substr(50)));
    ASSERT_TRUE(eventually([&] { return hasFix(library.position()); }));
    EXPECT_EQ(library.position().utcTime.milliseconds, 500);

    // A whole report and half of the next in one piece: the half must not block the stop.
    ASSERT_TRUE(gpsd.send(tpv + tpv.substr(0, 50)));
    std::this_thread::sleep_for(200ms);
    const auto before = Clock::now();
    library.stop();
    EXPECT_LT(Clock::now() - before, 2s);
    library.start();
    ASSERT_TRUE(gpsd.accept(5s));
    ASSERT_TRUE(gpsd.send(tpv));
    ASSERT_TRUE(eventually([&] { return hasFix(library.position()); }));

    ASSERT_TRUE(gpsd.send(tpv.substr(0, 50)));
    gpsd.hangUp();
    EXPECT_TRUE(eventually([&] { return saysNothing(library.position()); }, 5s));
    ASSERT_TRUE(gpsd.accept(5s));  // it comes back by itself
    ASSERT_TRUE(gpsd.send(tpv));
    EXPECT_TRUE(eventually([&] { return hasFix(library.position()); }));
    unsetenv("GPSD_HOST");
    unsetenv("GPSD_PORT");
}

}  // namespace
}  // namespace movira
