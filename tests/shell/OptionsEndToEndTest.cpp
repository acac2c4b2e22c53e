// A new user's first set-up, end to end: no settings file and no receiver configured; the
// program (the real window, core, pages, serial reader and port list, in a process of its own)
// starts, the options open, COM (NMEA) is chosen, Search finds a receiver played by nmea-replay
// among several ports, Apply; the speed appears within seconds. Then the process is killed with
// SIGKILL: the settings file must still hold the chosen port, because Apply wrote it.
//
// The program side is this test binary started again with the filter of ProgramSide and the
// environment of the run; it drives the dialog from inside, as a finger would.
#include "core/AppCore.h"
#include "core/NoValue.h"
#include "core/UserCommand.h"
#include "display/Font.h"
#include "display/WidgetManager.h"
#include "platform/QtFontRegistry.h"
#include "platform/SysfsBattery.h"
#include "platform/SystemClock.h"
#include "shell/CommonPage.h"
#include "shell/MainFrame.h"
#include "shell/OptionsSheet.h"
#include "tests/shell/DialogDriver.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/PseudoTerminal.h"

#include <QPushButton>
#include <QScreen>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace movira::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kHomeVariable[] = "MOVIRA_OPTIONS_E2E_HOME";

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The program: its real window and core, on the home folder and serial folder the run gives.
TEST(OptionsEndToEnd, ProgramSide) {
    const char* homeText = std::getenv(kHomeVariable);
    if (!homeText) GTEST_SKIP() << "started by ANewUserFindsTheReceiverAndTheChoiceSurvivesAKill";
    const fs::path home = homeText;
    ASSERT_FALSE(fs::exists(home / "Speedometer.ini"));
    SystemClock clock;
    FakeScreenKeeper screen;
    SysfsBattery battery;
    QtFontRegistry fonts([](const std::string& face, const QString& family) { Font::mapFace(face, family); });
    const PlatformServices services{clock, screen, battery, MOVIRA_BIN_DIR, &fonts, nullptr};
    MainFrame frame(
        [&] {
            auto core = std::make_unique<AppCore>(services);
            auto pages = std::make_unique<WidgetManager>(*core, clock);
            pages->createWidgets();
            core->adoptDisplay(std::move(pages));
            core->initialize(home.string());
            return core;
        },
        std::string());
    frame.resize(480, 800);
    frame.show();
    frame.startInitialisation();
    ASSERT_TRUE(waitFor([&] { return frame.core() != nullptr; }));
    AppCore& core = *frame.core();
    ASSERT_TRUE(core.useGpsApi());  // a new user's default

    std::chrono::steady_clock::time_point applied;
    QString searched;
    BoxAnswers answers({QMessageBox::Ok});  // "Port found ..."
    WhenShown<OptionsSheet> dialog([&](OptionsSheet& sheet) {
        // Over the whole screen, while the pages behind it go on drawing.
        EXPECT_EQ(sheet.geometry(), sheet.screen()->availableGeometry());
        const int painted = frame.widgets()->framesPainted();
        EXPECT_TRUE(waitFor([&] { return frame.widgets()->framesPainted() >= painted + 2; }, 10000));
        CommonPage& common = *sheet.commonPage();
        common.comButton()->click();
        common.searchButton()->click();  // runs the search and its message, then comes back
        searched = common.selectedPort();
        applied = std::chrono::steady_clock::now();
        sheet.applyButton()->click();
    });
    frame.post(UserCommand::ShowOptions);
    ASSERT_TRUE(waitFor([&] { return dialog.done() && frame.optionsSheet() == nullptr; }, 120000));
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].text, QStringLiteral("Port found ") + searched);
    ASSERT_TRUE(waitFor([&] { return core.model()->parser.fix().speed != NoValue; }, 30000));
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - applied).count();
    std::ofstream(home / "speed-shown.tmp") << searched.toStdString() << "\n" << seconds << "\n";
    fs::rename(home / "speed-shown.tmp", home / "speed-shown");
    // Running on until the kill.
    waitFor([] { return false; }, 120000);
}

TEST(OptionsEndToEnd, ANewUserFindsTheReceiverAndTheChoiceSurvivesAKill) {
    if (std::getenv(kHomeVariable)) GTEST_SKIP();
    char pattern[] = "/tmp/movira-options-e2e-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    const fs::path home = root / "home", serial = root / "serial", runtime = root / "runtime";
    for (const fs::path& folder : {home, serial, runtime}) fs::create_directories(folder);
    fs::permissions(runtime, fs::perms::owner_all);

    // Several ports: a modem that chatters, two silent lines, and the receiver last.
    PseudoTerminal modem, silentA, silentB;
    ASSERT_TRUE(modem.ok() && silentA.ok() && silentB.ok());
    std::string chatter;
    while (chatter.size() < 1500) chatter += "AT+CSQ\r\n+CSQ: 17,99\r\nOK\r\n";
    modem.write(chatter);
    fs::create_symlink(modem.path(), serial / "a-modem");
    fs::create_symlink(silentA.path(), serial / "b-line");
    fs::create_symlink(silentB.path(), serial / "c-line");
    const fs::path receiver = serial / "d-receiver";
    // Both runs take the test's environment without LC_ALL.
    ChildProcess replay({MOVIRA_BIN_DIR "/nmea-replay", "--loop", "--link", receiver.string(),
                         MOVIRA_SOURCE_DIR "/data/demo/demo-drive.nmea"},
                        {{"LC_ALL", std::nullopt}}, root / "replay.out");
    ASSERT_TRUE(replay.started());
    for (int i = 0; i < 200 && !fs::exists(receiver); ++i) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(fs::exists(receiver));

    ChildProcess program({fs::read_symlink("/proc/self/exe").string(), "--gtest_filter=OptionsEndToEnd.ProgramSide"},
                         {{kHomeVariable, home.string()},
                          {"MOVIRA_SERIAL_DIR", serial.string()},
                          {"XDG_RUNTIME_DIR", runtime.string()},
                          {"QT_QPA_PLATFORM", "offscreen"},
                          {"LANG", "C.UTF-8"},
                          {"LC_ALL", std::nullopt}},
                         root / "program.out");
    ASSERT_TRUE(program.started());
    const auto until = std::chrono::steady_clock::now() + 150s;
    bool ended = false;
    while (!fs::exists(home / "speed-shown") && std::chrono::steady_clock::now() < until && !ended) {
        ended = program.hasExited();
        std::this_thread::sleep_for(50ms);
    }
    const bool shown = fs::exists(home / "speed-shown");
    program.kill(SIGKILL);  // the power goes
    replay.kill(SIGKILL);
    ASSERT_TRUE(shown) << readFile(root / "program.out");

    std::istringstream report(readFile(home / "speed-shown"));
    std::string chosen;
    double seconds = 0;
    report >> chosen >> seconds;
    EXPECT_EQ(chosen, receiver.string());
    EXPECT_LT(seconds, 10.0) << "from Apply to the first speed";
    const std::string settings = readFile(home / "Speedometer.ini");
    EXPECT_NE(settings.find("COMPort=" + receiver.string() + "\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("UseGPSAPI=false"), std::string::npos) << settings;
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

}  // namespace
}  // namespace movira::test
