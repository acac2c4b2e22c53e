#include "core/AppCore.h"
#include "core/GpsApiLibrary.h"

#include "tests/support/Eventually.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/FakeWindowPort.h"
#include "tests/support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace movira {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::eventually;

// The controls of the fake library, reached through the same loaded copy as the core's.
class FakeGps {
public:
    explicit FakeGps(const char* folder) {
        handle_ = dlopen((std::string(folder) + "/libOrbelin.so").c_str(), RTLD_NOW);
        if (!handle_) return;
        setRecord_ = reinterpret_cast<void (*)(const PositionRecord*)>(dlsym(handle_, "FakeGpsSetRecord"));
        setReturnNull_ = reinterpret_cast<void (*)(bool)>(dlsym(handle_, "FakeGpsSetReturnNull"));
        counts_ = reinterpret_cast<void (*)(int*, int*, int*)>(dlsym(handle_, "FakeGpsCounts"));
        reinterpret_cast<void (*)()>(dlsym(handle_, "FakeGpsReset"))();
    }
    ~FakeGps() {
        if (handle_) dlclose(handle_);
    }
    bool ok() const { return handle_ && setRecord_ && counts_; }
    void setRecord(const PositionRecord& record) { setRecord_(&record); }
    void setReturnNull(bool value) { setReturnNull_(value); }
    int starts() const { return count(0); }
    int stops() const { return count(1); }
    int fetches() const { return count(2); }

private:
    int count(int which) const {
        int values[3];
        counts_(&values[0], &values[1], &values[2]);
        return values[which];
    }
    void* handle_ = nullptr;
    void (*setRecord_)(const PositionRecord*) = nullptr;
    void (*setReturnNull_)(bool) = nullptr;
    void (*counts_)(int*, int*, int*) = nullptr;
};

PositionRecord recordAt(double latitude) {
    PositionRecord r{};
    r.validFields = PositionRecord::LatitudeValid | PositionRecord::LongitudeValid | PositionRecord::SpeedValid |
                    PositionRecord::UtcTimeValid;
    r.utcTime = {2025, 6, 0, 1, 12, 0, 0, 0};
    r.latitude = latitude;
    r.longitude = 30.0;
    r.speed = 5.0f;
    r.fixType = 3;
    return r;
}

TEST(GpsApiLibrary, BindsTheExportsOfTheLibraryBesideTheProgram) {
    FakeGps fake(MOVIRA_FAKE_GPS_DIR);
    ASSERT_TRUE(fake.ok());
    GpsApiLibrary library(MOVIRA_FAKE_GPS_DIR);
    ASSERT_TRUE(library.isLoaded());
    library.start();
    library.stop();
    EXPECT_EQ(fake.starts(), 1);
    EXPECT_EQ(fake.stops(), 1);
    fake.setRecord(recordAt(59.5));
    PositionRecord copy{};
    ASSERT_TRUE(library.fetch(copy));
    EXPECT_EQ(copy.latitude, 59.5);
    fake.setReturnNull(true);
    copy.latitude = 1.0;
    EXPECT_FALSE(library.fetch(copy));  // a null address: the buffer stays as it was
    EXPECT_EQ(copy.latitude, 1.0);
}

TEST(GpsApiLibrary, MissingLibraryOrExportDoesNothing) {
    GpsApiLibrary missing("/nonexistent", "MoviraNoSuchLibrary");
    EXPECT_FALSE(missing.isLoaded());
    missing.start();
    missing.stop();
    PositionRecord record{};
    EXPECT_FALSE(missing.fetch(record));

    GpsApiLibrary partial(MOVIRA_FAKE_GPS_PARTIAL_DIR);
    EXPECT_TRUE(partial.isLoaded());
    EXPECT_FALSE(partial.canFetch());
    EXPECT_FALSE(partial.fetch(record));
}

class LibraryModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        char pattern[] = "/tmp/movira-gpsapi-XXXXXX";
        home = mkdtemp(pattern);
    }
    void TearDown() override {
        if (core) core->shutdown();
        core.reset();
        fs::remove_all(home);
    }
    AppCore& makeCore(const char* programFolder, const std::string& settings = "") {
        std::ofstream(home / "Speedometer.ini") << settings;
        core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, programFolder});
        core->initialize(home.string());
        return *core;
    }
    float latitude() { return core->model()->parser.fix().latitude; }

    test::FakeClock clock;
    test::FakeScreenKeeper screen;
    test::FakeBattery battery;
    test::FakeWindowPort window;
    fs::path home;
    std::unique_ptr<AppCore> core;
};

// Installed, the libraries lie beside the program while its pictures lie in the share folder.
TEST_F(LibraryModeTest, TheLibraryIsLookedForInTheLibraryFolderWhenOneIsGiven) {
    std::ofstream(home / "Speedometer.ini") << "";
    core = std::make_unique<AppCore>(
        PlatformServices{clock, screen, battery, "/nonexistent", nullptr, nullptr, MOVIRA_FAKE_GPS_DIR});
    EXPECT_TRUE(core->gpsApi().isLoaded());
    EXPECT_EQ(core->programFolder(), "/nonexistent");  // where the pictures and sounds are
}

TEST_F(LibraryModeTest, RecordsArePolledIntoFixes) {
    FakeGps fake(MOVIRA_FAKE_GPS_DIR);
    ASSERT_TRUE(fake.ok());
    fake.setRecord(recordAt(59.93));
    AppCore& c = makeCore(MOVIRA_FAKE_GPS_DIR);
    EXPECT_EQ(c.gpsApiActive(), -1);
    c.attachWindow(&window);
    EXPECT_EQ(c.gpsApiActive(), 0);
    EXPECT_EQ(fake.starts(), 1);
    EXPECT_TRUE(eventually([&] { return latitude() == 59.93f; }));
    fake.setRecord(recordAt(59.94));
    EXPECT_TRUE(eventually([&] { return latitude() == 59.94f; }));
    EXPECT_EQ(c.model()->parser.trackPointCount(), 2u);
    EXPECT_TRUE(window.waitForRepaints(2));

    const auto before = std::chrono::steady_clock::now();
    c.stopGps();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);  // the poll pause is cut short
    EXPECT_EQ(fake.stops(), 1);
    EXPECT_EQ(c.gpsApiActive(), -1);
    c.stopGps();  // nothing runs: the library is not touched again
    EXPECT_EQ(fake.stops(), 1);
}

TEST_F(LibraryModeTest, SwitchingTheSourceStopsAndStartsEachSideOnce) {
    FakeGps fake(MOVIRA_FAKE_GPS_DIR);
    test::PseudoTerminal receiver;
    AppCore& c = makeCore(MOVIRA_FAKE_GPS_DIR, "[Main]\nCOMPort=" + receiver.path() + "\n");
    c.attachWindow(&window);
    EXPECT_EQ(fake.starts(), 1);
    c.setUseGpsApi(false);
    EXPECT_EQ(fake.stops(), 1);
    receiver.write("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n");
    EXPECT_TRUE(eventually([&] { return latitude() > 48.0f && latitude() < 48.2f; }));
    c.setUseGpsApi(true);
    EXPECT_EQ(fake.starts(), 2);
    EXPECT_EQ(fake.stops(), 1);
    test::PseudoTerminal other;
    c.setComPort(other.path());  // a restart in library mode: stop, then start
    EXPECT_EQ(fake.stops(), 2);
    EXPECT_EQ(fake.starts(), 3);
}

TEST_F(LibraryModeTest, WithoutTheLibraryTheDisplayKeepsRefreshing) {
    AppCore& c = makeCore("/nonexistent");
    EXPECT_FALSE(c.gpsApi().isLoaded());
    c.attachWindow(&window);
    EXPECT_TRUE(c.isReaderRunning());
    EXPECT_TRUE(window.waitForRepaints(2, 5s));
    EXPECT_EQ(latitude(), NoValue);
    EXPECT_EQ(c.model()->parser.trackPointCount(), 0u);
}

TEST_F(LibraryModeTest, NoRecordLeavesTheFixWithoutPosition) {
    FakeGps fake(MOVIRA_FAKE_GPS_DIR);
    fake.setRecord(recordAt(59.93));
    AppCore& c = makeCore(MOVIRA_FAKE_GPS_DIR);
    c.attachWindow(&window);
    ASSERT_TRUE(eventually([&] { return latitude() == 59.93f; }));
    fake.setReturnNull(true);
    EXPECT_TRUE(eventually([&] { return latitude() == NoValue; }));
    EXPECT_EQ(c.model()->parser.fix().speed, NoValue);
}

}  // namespace
}  // namespace movira
