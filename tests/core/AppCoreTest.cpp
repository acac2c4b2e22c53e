#include "core/AppCore.h"

#include "core/PageDisplay.h"
#include "platform/PosixSerialPort.h"
#include "tests/support/Eventually.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/FakeWindowPort.h"
#include "tests/support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace movira {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::eventually;
using test::FakeClock;
using test::FakeScreenKeeper;
using test::FakeWindowPort;
using test::PseudoTerminal;

constexpr char kRmc[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The settings file without the sensors' section, which the sensors' own tests check.
// The file without the sections other parts own (their own tests check them).
std::string withoutSensorValues(std::string text) {
    for (const char* section : {" [LastSensorsValue]\n", " [SMS]\n", " [Events]\n"}) {
        const auto begin = text.find(section);
        if (begin == std::string::npos) continue;
        const auto end = text.find(" [", begin + 1);
        text = text.substr(0, begin) + (end == std::string::npos ? "" : text.substr(end));
    }
    return text;
}

class AppCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        char pattern[] = "/tmp/movira-core-XXXXXX";
        home = mkdtemp(pattern);
    }
    void TearDown() override {
        if (core) core->shutdown();
        core.reset();
        fs::remove_all(home);
    }
    // A core whose program folder is `programFolder` (where it looks for the GPS library).
    AppCore& makeCore(const std::string& programFolder = "/nonexistent") {
        core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, programFolder});
        core->initialize(home);
        return *core;
    }
    void writeSettings(const std::string& text) { std::ofstream(home / "Speedometer.ini") << text; }
    // Serial mode on `port`, started through a window as the program does.
    AppCore& serialCore(const PseudoTerminal& port, const std::string& extra = "") {
        writeSettings("[Main]\nUseGPSAPI=false\nCOMPort=" + port.path() + "\n" + extra);
        AppCore& c = makeCore();
        c.attachWindow(&window);
        return c;
    }
    float latitude() { return core->model()->parser.fix().latitude; }
    size_t trackPoints() { return core->model()->parser.trackPointCount(); }

    FakeClock clock;
    FakeScreenKeeper screen;
    test::FakeBattery battery;
    FakeWindowPort window;
    fs::path home;
    std::unique_ptr<AppCore> core;
};

// Settings of section "Main".

TEST_F(AppCoreTest, NoSettingsFileGivesTheDefaultsAndAFullFileAtExit) {
    AppCore& c = makeCore();
    EXPECT_EQ(c.comPortName(), "");
    EXPECT_EQ(c.baudRate(), 0);
    EXPECT_FALSE(c.enableKmlTrack());
    EXPECT_FALSE(c.enableGpxTrack());
    EXPECT_TRUE(c.useGpsApi());
    EXPECT_TRUE(c.alwaysOn());
    EXPECT_EQ(c.currentWidget(), 0);
    EXPECT_TRUE(fs::exists(home / "Speedometer.ini"));  // created empty
    c.shutdown();
    const std::string saved = readFile(home / "Speedometer.ini");
    EXPECT_NE(saved.find(" [LastSensorsValue]\n"), std::string::npos);
    EXPECT_EQ(withoutSensorValues(saved),
              " [Main]\n LastCurrentWidget=0\n UseGPSAPI=true\n AlwaysOn=true\n EnableGPXTrack=false\n"
              " EnableKMLTrack=false\n COMPortBaudRate=0\n COMPort=\n TrackFolder=\n");
}

TEST_F(AppCoreTest, FlagsReadBackAsWritten) {
    struct Case {
        const char* lines;
        bool useGpsApi, kml, gpx;
    };
    for (const Case& c : {Case{"UseGPSAPI=TRUE\n", false, false, false}, Case{"UseGPSAPI=\n", true, false, false},
                          Case{"UseGPSAPI=false\nEnableKMLTrack=true\nEnableGPXTrack=false\n", false, true, false},
                          Case{"EnableKMLTrack=True\nEnableGPXTrack=true\n", true, false, true}}) {
        writeSettings(std::string("[Main]\n") + c.lines);
        AppCore& app = makeCore();
        EXPECT_EQ(app.useGpsApi(), c.useGpsApi) << c.lines;
        EXPECT_EQ(app.enableKmlTrack(), c.kml) << c.lines;
        EXPECT_EQ(app.enableGpxTrack(), c.gpx) << c.lines;
        app.shutdown();
        core.reset();
    }
}

TEST_F(AppCoreTest, SettingsSurviveALoadSaveCycle) {
    // The track folder lies in the test's home: shutdown makes it when it writes the tracks.
    const std::string trips = (home / "card" / "trips").string();
    writeSettings("; my receiver\n[Main]\nCOMPort=ttyUSB1\nCOMPortBaudRate=4800\nEnableKMLTrack=true\n"
                  "EnableGPXTrack=false\nAlwaysOn=false\nTrackFolder=" + trips + "\nLastCurrentWidget=3\n"
                  "[Other]\nKeep=me\n");
    AppCore& c = makeCore();
    EXPECT_EQ(c.comPortName(), "ttyUSB1");
    EXPECT_EQ(c.baudRate(), 4800);
    EXPECT_TRUE(c.alwaysOn());  // the screen is kept on whatever the file says
    EXPECT_EQ(c.getTrackFolder(), trips);
    EXPECT_EQ(c.currentWidget(), 3);
    c.shutdown();
    EXPECT_EQ(withoutSensorValues(readFile(home / "Speedometer.ini")),
              "; my receiver\n [Main]\n UseGPSAPI=true\n COMPort=ttyUSB1\n COMPortBaudRate=4800\n"
              " EnableKMLTrack=true\n EnableGPXTrack=false\n AlwaysOn=true\n TrackFolder=" + trips + "\n"
              " LastCurrentWidget=3\n [Other]\n Keep=me\n");
}

TEST_F(AppCoreTest, TrackFolderDefaultsBesideTheSettings) {
    writeSettings("[Main]\nTrackFolder=\n");
    AppCore& c = makeCore();
    EXPECT_EQ(c.getTrackFolder(), (home / "Tracks").string());
    c.setTrackFolder("");
    EXPECT_EQ(c.getTrackFolder(), (home / "Tracks").string());
    c.shutdown();
    EXPECT_NE(readFile(home / "Speedometer.ini").find(" TrackFolder=" + (home / "Tracks").string() + "\n"),
              std::string::npos);
}

// An installed program keeps its settings in ~/.config/movira and its tracks in the documents folder.
TEST_F(AppCoreTest, ADefaultTrackFolderOfItsOwnHoldsUntilTheSettingsNameAnother) {
    const std::string documents = (home / "Documents" / "Movira").string();
    writeSettings("[Main]\nTrackFolder=\n");
    core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, "/nonexistent"});
    core->initialize(home.string(), documents);
    EXPECT_EQ(core->defaultTrackFolder(), documents);
    EXPECT_EQ(core->settingsPath(), (home / "Speedometer.ini").string());
    EXPECT_EQ(core->getTrackFolder(), documents);
    core->setTrackFolder((home / "elsewhere").string());
    EXPECT_EQ(core->getTrackFolder(), (home / "elsewhere").string());
    EXPECT_EQ(core->defaultTrackFolder(), documents);  // what the About page shows stays
    core->setTrackFolder("");
    core->shutdown();
    EXPECT_NE(readFile(home / "Speedometer.ini").find(" TrackFolder=" + (home / "elsewhere").string() + "\n"),
              std::string::npos);
}

TEST_F(AppCoreTest, ASettingsFileThatCannotBeReadIsNeitherWaitedForNorReplaced) {
    const fs::path settings = home / "Speedometer.ini";
    ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0);  // opening it for reading would block
    AppCore& c = makeCore();
    EXPECT_TRUE(c.useGpsApi());  // the defaults
    c.setBaudRate(4800);
    EXPECT_FALSE(c.saveSettings());
    c.shutdown();
    EXPECT_TRUE(fs::is_fifo(settings));
}

TEST_F(AppCoreTest, BadNumbersInTheSettingsAreHarmless) {
    writeSettings("[Main]\nCOMPortBaudRate=99999999999999\nLastCurrentWidget=-abc\n");
    AppCore& c = makeCore();
    EXPECT_EQ(c.baudRate(), INT_MAX);
    EXPECT_EQ(c.currentWidget(), 0);
}

// The connection on a serial port.

TEST_F(AppCoreTest, SerialReaderTurnsBytesIntoFixes) {
    PseudoTerminal receiver;
    ASSERT_TRUE(receiver.ok());
    AppCore& c = serialCore(receiver);
    EXPECT_TRUE(c.isReaderRunning());
    // Split across writes, with noise and a sentence that is not a fix.
    receiver.write("noise$GPGGA,1,4807.038,N,01131.000,E,1,08,0.9,545.4,M,4");
    std::this_thread::sleep_for(150ms);
    receiver.write("6.9,M,,*7B\r\n");
    EXPECT_TRUE(eventually([&] { return c.model()->parser.fix().altitude == 545.4f; }));
    const int repaintsBefore = window.repaints;
    receiver.write(kRmc);
    EXPECT_TRUE(eventually([&] { return trackPoints() == 1; }));
    EXPECT_TRUE(window.waitForRepaints(repaintsBefore + 1));
    EXPECT_FLOAT_EQ(latitude(), 48.117302f);
}

TEST_F(AppCoreTest, StopNeverWaitsForData) {
    PseudoTerminal receiver;
    AppCore& c = serialCore(receiver);
    ASSERT_TRUE(c.isReaderRunning());
    std::this_thread::sleep_for(300ms);  // the reader is waiting for bytes that never come
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(c.stopGps());
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_FALSE(c.isReaderRunning());
    EXPECT_TRUE(c.stopGps());  // again, with nothing running
    // Restart on the same port works, and the port was really let go in between.
    EXPECT_TRUE(c.startGps());
    receiver.write(kRmc);
    EXPECT_TRUE(eventually([&] { return trackPoints() == 1; }));
}

TEST_F(AppCoreTest, PortIsHeldExclusively) {
    PseudoTerminal receiver;
    serialCore(receiver);
    PosixSerialPort intruder;
    EXPECT_FALSE(intruder.open(receiver.path()));
    core->stopGps();
    EXPECT_TRUE(intruder.open(receiver.path()));
    // While someone else holds it, our start opens nothing and the reader idles.
    EXPECT_TRUE(core->startGps());
    EXPECT_TRUE(core->isReaderRunning());
    receiver.write(kRmc);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(trackPoints(), 0u);
}

TEST_F(AppCoreTest, SwitchingThePortReopens) {
    PseudoTerminal first, second;
    AppCore& c = serialCore(first);
    c.setComPort(second.path());  // running: reopens on the new port at once
    EXPECT_TRUE(c.isReaderRunning());
    PosixSerialPort probe;
    EXPECT_TRUE(probe.open(first.path()));  // the old port was closed
    probe.close();
    second.write(kRmc);
    EXPECT_TRUE(eventually([&] { return trackPoints() == 1; }));

    c.stopGps();
    c.setComPort(first.path());  // not running: only stored
    EXPECT_FALSE(c.isReaderRunning());
    EXPECT_EQ(c.comPortName(), first.path());
}

TEST_F(AppCoreTest, BaudRateRule) {
    struct Case {
        int rate;
        speed_t expected;
    };
    for (const Case& k : {Case{4800, B4800}, Case{115200, B115200}, Case{300, B300}, Case{0, B38400},
                          Case{-9999, B38400}, Case{1200, B38400}, Case{4801, B38400}}) {
        PseudoTerminal receiver;
        termios start = receiver.settings();
        cfsetispeed(&start, B38400);
        cfsetospeed(&start, B38400);
        start.c_cflag |= CSTOPB;  // something the speed change must not touch
        const int line = open(receiver.path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_EQ(tcsetattr(line, TCSANOW, &start), 0);
        close(line);
        AppCore& c = serialCore(receiver, "COMPortBaudRate=" + std::to_string(k.rate) + "\n");
        EXPECT_EQ(receiver.speed(), k.expected) << k.rate;
        EXPECT_TRUE(receiver.settings().c_cflag & CSTOPB) << k.rate;
        c.shutdown();
        core.reset();
    }
}

TEST_F(AppCoreTest, NotATerminalWithABaudRateIsRefusedAndClosed) {
    const fs::path notATerminal = home / "plain-file";
    std::ofstream(notATerminal) << kRmc;
    writeSettings("[Main]\nUseGPSAPI=false\nCOMPortBaudRate=4800\nCOMPort=" + notATerminal.string() + "\n");
    AppCore& c = makeCore();
    EXPECT_FALSE(c.startGps());
    EXPECT_FALSE(c.isReaderRunning());
    const int fd = open(notATerminal.c_str(), O_RDONLY);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);  // nothing holds it any more
    close(fd);
}

TEST_F(AppCoreTest, MissingPortRunsIdleAndKeepsRepainting) {
    writeSettings("[Main]\nUseGPSAPI=false\nCOMPortBaudRate=4800\nCOMPort=ttyMoviraMissing\n");
    AppCore& c = makeCore();
    c.attachWindow(&window);
    EXPECT_TRUE(c.isReaderRunning());
    EXPECT_TRUE(window.waitForRepaints(2, 5s));
    window.shown = false;  // no window, nothing posted
    const int posted = window.posts;
    std::this_thread::sleep_for(1200ms);
    EXPECT_EQ(window.posts, posted);
}

TEST_F(AppCoreTest, AVanishingPortIsTakenAgainWhenItReturns) {
    auto receiver = std::make_unique<PseudoTerminal>();
    const fs::path link = home / "gps";
    fs::create_symlink(receiver->path(), link);
    writeSettings("[Main]\nUseGPSAPI=false\nCOMPort=" + link.string() + "\n");
    AppCore& c = makeCore();
    c.attachWindow(&window);
    receiver->write(kRmc);
    ASSERT_TRUE(eventually([&] { return trackPoints() == 1; }));

    receiver->hangUp();  // unplugged while read
    const int repaints = window.repaints;
    EXPECT_TRUE(window.waitForRepaints(repaints + 2, 5s));  // idle, still refreshing
    EXPECT_TRUE(c.isReaderRunning());

    auto replugged = std::make_unique<PseudoTerminal>();
    fs::remove(link);
    fs::create_symlink(replugged->path(), link);
    replugged->write("$GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*60\r\n");
    EXPECT_TRUE(eventually([&] { return trackPoints() == 2; }));
    const auto before = std::chrono::steady_clock::now();
    c.stopGps();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1500ms);
}

TEST_F(AppCoreTest, ReaderAndReadersShareTheModelSafely) {
    PseudoTerminal receiver;
    AppCore& c = serialCore(receiver);
    std::atomic<bool> done{false};
    std::thread painter([&] {
        while (!done) {
            auto model = c.model();
            const auto& parser = model->parser;
            for (size_t i = 0; i < parser.trackPointCount(); ++i) {
                ASSERT_NE(parser.trackPoint(static_cast<long long>(i)), nullptr);
            }
            for (int i = 0; i < model->sensors.count(); ++i) ASSERT_LT(std::wcslen(model->sensors.at(i)->text()), 256u);
        }
    });
    std::string burst;
    for (int s = 0; s < 60; ++s) {
        char line[128];
        std::snprintf(line, sizeof line, "$GPRMC,1235%02d,A,4807.%03d,N,01131.000,E,022.4,084.4,230394,,\r\n", s, s);
        burst += line;
    }
    receiver.write(burst);
    EXPECT_TRUE(eventually([&] { return trackPoints() == 60; }));
    done = true;
    painter.join();
}

// The sensors on the fan-out.

TEST_F(AppCoreTest, SensorsFollowEveryFixAndKeepTheirValuesBetweenRuns) {
    PseudoTerminal receiver;
    AppCore& c = serialCore(receiver);
    receiver.write("$GPRMC,123519,A,4807.038,N,01131.000,E,000.0,084.4,230394,003.1,W*6E\r\n"
                   "$GPRMC,123520,A,4807.038,N,01131.000,E,010.0,084.4,230394,003.1,W*65\r\n"
                   "$GPRMC,123521,A,4807.038,N,01131.000,E,005.0,084.4,230394,003.1,W*60\r\n");
    ASSERT_TRUE(eventually([&] { return trackPoints() == 3; }));
    {
        auto model = c.model();
        EXPECT_STREQ(model->sensors.find(L"Speed")->text(), L"9.3 km/h");
        EXPECT_STREQ(model->sensors.find(L"Max speed")->text(), L"18.5 km/h");
        EXPECT_STREQ(model->sensors.find(L"Accel. 0-10 km/h")->text(), L"0.540 s");
    }
    c.shutdown();
    core.reset();

    AppCore& again = makeCore();
    EXPECT_STREQ(again.model()->sensors.find(L"Max speed")->text(), L"18.5 km/h");
    again.resetAllSensors();
    EXPECT_STREQ(again.model()->sensors.find(L"Max speed")->text(), L"");
    EXPECT_EQ(again.model()->sensors.find(L"Max speed")->value(0), NoValue);
}

// The backlight while fixes arrive.

TEST_F(AppCoreTest, BacklightIsTakenOnceAndGivenBack) {
    PseudoTerminal receiver;
    AppCore& c = serialCore(receiver);
    EXPECT_EQ(screen.requests, 0);
    receiver.write(kRmc);
    receiver.write("$GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*60\r\n");
    ASSERT_TRUE(eventually([&] { return trackPoints() == 2; }));
    EXPECT_EQ(screen.requests, 1);
    EXPECT_EQ(screen.idleResets, 2);
    EXPECT_TRUE(c.isBacklightHeld());
    c.setAlwaysOn(false);
    receiver.write("$GPRMC,123521,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*61\r\n");
    ASSERT_TRUE(eventually([&] { return trackPoints() == 3; }));
    EXPECT_TRUE(eventually([&] { return !c.isBacklightHeld(); }));
    EXPECT_EQ(screen.held, 0);
}

TEST(BacklightKeeper, RefusalsAreTriedAgain) {
    FakeScreenKeeper screen;
    BacklightKeeper keeper(screen);
    screen.grant = false;
    keeper.onFix(true);
    keeper.onFix(true);
    EXPECT_EQ(screen.requests, 2);  // no service yet: asked again at the next fix
    EXPECT_FALSE(keeper.isHeld());
    screen.grant = true;
    keeper.onFix(true);
    keeper.onFix(true);
    EXPECT_EQ(screen.requests, 3);
    EXPECT_TRUE(keeper.isHeld());
    screen.allowRelease = false;
    keeper.onFix(false);
    EXPECT_TRUE(keeper.isHeld());  // a refused release keeps the request
    screen.allowRelease = true;
    keeper.release();
    EXPECT_FALSE(keeper.isHeld());
    EXPECT_EQ(screen.releases, 2);
    EXPECT_EQ(screen.held, 0);
}

TEST_F(AppCoreTest, ShutdownStopsSavesAndLetsGo) {
    PseudoTerminal receiver;
    AppCore& c = serialCore(receiver);
    receiver.write(kRmc);
    ASSERT_TRUE(eventually([&] { return c.isBacklightHeld(); }));
    c.setBaudRate(9600);
    c.shutdown();
    EXPECT_FALSE(c.isReaderRunning());
    EXPECT_EQ(screen.held, 0);
    EXPECT_NE(readFile(home / "Speedometer.ini").find(" COMPortBaudRate=9600\n"), std::string::npos);
    const int posts = window.posts;
    c.requestRepaint();
    EXPECT_EQ(window.posts, posts);  // the window is forgotten
}

TEST_F(AppCoreTest, DetachingTheWindowStops) {
    PseudoTerminal receiver;
    AppCore& c = serialCore(receiver);
    ASSERT_TRUE(c.isReaderRunning());
    c.attachWindow(nullptr);
    EXPECT_FALSE(c.isReaderRunning());
}

// While running, what is saved reaches the file at most once an interval and only when it changed,
// so a power cut loses at most that much.
TEST_F(AppCoreTest, SettingsAreSavedWhileRunningWhenTheyChange) {
    writeSettings("[Main]\nCOMPortBaudRate=4800\n");
    core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, "/nonexistent"});
    core->setSaveInterval(50ms);
    core->initialize(home);
    const fs::path settings = home / "Speedometer.ini";
    ASSERT_TRUE(eventually([&] { return readFile(settings).find(" COMPortBaudRate=4800\n") != std::string::npos; }));
    core->setBaudRate(9600);
    ASSERT_TRUE(eventually([&] { return readFile(settings).find(" COMPortBaudRate=9600\n") != std::string::npos; }));
    // Nothing changed: the file is left alone (each save makes a new file under the name).
    const auto written = fs::last_write_time(settings);
    struct stat before {};
    ASSERT_EQ(::stat(settings.c_str(), &before), 0);
    std::this_thread::sleep_for(300ms);
    struct stat after {};
    ASSERT_EQ(::stat(settings.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(fs::last_write_time(settings), written);
}

// A page that holds the reader inside its first fix notice, until the test lets it go.
class HeldDisplay final : public PageDisplay {
public:
    void notifyFix() override {
        std::unique_lock lock(mutex);
        if (notices++ == 0) released.wait(lock, [this] { return open; });
    }
    void release() {
        std::lock_guard lock(mutex);
        open = true;
        released.notify_all();
    }
    void loadSettings(const IniFile&) override {}
    void saveSettings(IniFile&) override {}
    int currentIndex() const override { return 0; }
    void setCurrentIndex(int) override {}

    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    int notices = 0;
};

// At exit the reader stops before the tracks are written: a point it takes meanwhile is in them.
TEST_F(AppCoreTest, ShutdownStopsTheReaderBeforeWritingTheTracks) {
    PseudoTerminal receiver;
    writeSettings("[Main]\nUseGPSAPI=false\nEnableKMLTrack=true\nCOMPort=" + receiver.path() + "\n");
    core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, "/nonexistent"});
    auto display = std::make_unique<HeldDisplay>();
    HeldDisplay& held = *display;
    core->adoptDisplay(std::move(display));
    core->initialize(home);
    core->attachWindow(&window);
    // Two fixes in one read: the reader is held in the first one's notice.
    receiver.write(std::string(kRmc) + "$GPRMC,123520,A,4807.138,N,01131.100,E,022.4,084.4,230394,003.1,W*60\r\n");
    ASSERT_TRUE(eventually([&] { return trackPoints() == 1; }));
    std::thread closing([&] { core->shutdown(); });
    const fs::path track = home / "Tracks" / "Track0001.kml";
    eventually([&] { return fs::exists(track); }, 1s);
    held.release();
    closing.join();
    EXPECT_EQ(trackPoints(), 2u);
    const std::string kml = readFile(track);
    EXPECT_EQ(std::count(kml.begin(), kml.end(), '\n'), 9 + 2 + 3);  // header, two points, footer
}

// A settings file that cannot be written is said on standard error with its path and reason, and
// the core keeps the last such failure for the About page.
TEST_F(AppCoreTest, AFileThatCannotBeWrittenIsSaidAndKept) {
    AppCore& c = makeCore();
    EXPECT_EQ(c.lastFailure(), "");
    const fs::path settings = home / "Speedometer.ini";
    fs::remove(settings);
    fs::create_directory(settings);  // the rename over it fails
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(c.saveSettings());
    const std::string said = ::testing::internal::GetCapturedStderr();
    const std::string expected = "cannot write the settings file " + settings.string() + ": Is a directory";
    EXPECT_EQ(said, "Movira: " + expected + "\n");
    EXPECT_EQ(c.lastFailure(), expected);
    fs::remove(settings);
}

}  // namespace
}  // namespace movira
