// The main window with the SMS library: the SMS button in the common bar, and the SendSms
// command sending the current fix without the window waiting for the modem.
#include "shell/MainFrame.h"

#include "core/AppCore.h"
#include "core/UserCommand.h"
#include "display/Widget.h"
#include "display/WidgetManager.h"
#include "tests/sms/FakeParvox.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/QtEventually.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>
#include <time.h>

#include <chrono>
#include <memory>

namespace movira {
namespace {

using namespace std::chrono_literals;

using test::waitFor;

TEST(SendSmsCommand, TheButtonIsThereAndTheCommandSendsWithoutWaiting) {
    setenv("TZ", "UTC0", 1);
    tzset();
    // The program folder: the fake library (the same file, so the same loaded library) and
    // the SMS button's picture; a cell without its picture would do nothing.
    QTemporaryDir program;
    ASSERT_EQ(symlink(MOVIRA_FAKE_PARVOX_DIR "/libParvox.so", (program.path() + "/libParvox.so").toUtf8().constData()), 0);
    QDir(program.path()).mkpath("Pics");
    QImage picture(40, 40, QImage::Format_ARGB32);
    picture.fill(qRgb(0, 255, 0));
    ASSERT_TRUE(picture.save(program.path() + "/Pics/BtnSMS.png"));
    test::FakeParvox fake(program.path().toStdString());
    ASSERT_TRUE(fake.ok());
    test::FakeClock clock;
    test::FakeScreenKeeper screen;
    test::FakeBattery battery;
    QTemporaryDir home;
    MainFrame frame(
        [&] {
            auto core =
                std::make_unique<AppCore>(PlatformServices{clock, screen, battery, program.path().toStdString()});
            auto pages = std::make_unique<WidgetManager>(*core, clock);
            pages->createWidgets();
            core->adoptDisplay(std::move(pages));
            core->setUseGpsApi(false);
            core->initialize(home.path().toStdString());
            return core;
        },
        std::string());
    frame.resize(800, 480);
    frame.show();
    frame.startInitialisation();
    ASSERT_TRUE(waitFor([&] { return frame.core() != nullptr && frame.widgets() != nullptr; }));
    AppCore& core = *frame.core();
    ASSERT_TRUE(core.isSmsAvailable());
    core.sms().setSettings(false, false, 0, std::string_view("112,+79001112233"),
                           std::string_view("%Time% %Latitude% %GoogleMaps%"));
    core.onSentence("$GPRMC,123519,A,4830.000,N,01131.000,E,022.4,084.4,230394,003.1,W*65");
    ASSERT_TRUE(waitFor([&] { return !frame.widgets()->page(0).commonBar().isEmpty(); }));
    EXPECT_EQ(frame.widgets()->page(0).commonBar().at(1).command(), UserCommand::SendSms);

    fake.hold(true);  // the modem hangs: the command returns all the same
    frame.onCommand(0, UserCommand::SendSms);
    EXPECT_TRUE(waitFor([&] { return fake.entered() == 1; }));
    fake.hold(false);
    ASSERT_TRUE(core.sms().waitUntilSent(10s));
    const std::string text = "12:35:19 48.500000 http://maps.google.com/m/local?q=48.500000,11.516666";
    EXPECT_EQ(fake.calls(), (std::vector<test::FakeParvox::Call>{{"112", text}, {"+79001112233", text}}));
    frame.close();
}

}  // namespace
}  // namespace movira
