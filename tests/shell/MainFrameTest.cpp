// The main window with a real core and its pages: confirmations, commands, keys, the
// mirror and the turn, input before the core exists, and closing before it does.
#include "shell/MainFrame.h"

#include "core/AppCore.h"
#include "core/UserCommand.h"
#include "display/Font.h"
#include "display/Widget.h"
#include "display/WidgetManager.h"
#include "platform/QtFontRegistry.h"
#include "sensors/Sensor.h"
#include "sensors/SensorSet.h"
#include "tests/display/DisplayTestBed.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/QtEventually.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTransform>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace movira::test {
namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 800;

using test::waitFor;

// Runs the UI thread's events for a while, so that anything posted or queued is carried out.
void runEvents(int ms = 100) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

// Answers the next message box with `button` as soon as it is shown, and remembers it.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button) : button_(button) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }
    bool seen() const { return seen_; }
    QString title() const { return title_; }
    QString text() const { return text_; }
    int boxes() const { return boxes_; }

private:
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        seen_ = true;
        ++boxes_;
        title_ = box->windowTitle();
        text_ = box->text();
        QAbstractButton* choice = box->button(button_);
        if (choice) {
            choice->click();
        } else {
            box->reject();  // not a yes/no box: end it all the same, so that the test goes on
        }
    }

    const QMessageBox::StandardButton button_;
    QTimer timer_;
    bool seen_ = false;
    int boxes_ = 0;
    QString title_;
    QString text_;
};

// What a sensor shows and holds; NaN equals NaN, so that empty values compare.
struct SensorState {
    std::wstring text;
    float values[2];
    int intValues[2];

    friend bool operator==(const SensorState& a, const SensorState& b) {
        for (int i = 0; i < 2; ++i) {
            const bool bothNan = std::isnan(a.values[i]) && std::isnan(b.values[i]);
            if (!bothNan && std::memcmp(&a.values[i], &b.values[i], sizeof(float)) != 0) return false;
            if (a.intValues[i] != b.intValues[i]) return false;
        }
        return a.text == b.text;
    }
};

std::vector<SensorState> statesOf(const SensorSet& set) {
    std::vector<SensorState> states;
    for (int i = 0; i < set.count(); ++i) {
        const Sensor& sensor = *set.at(i);
        states.push_back({sensor.text(), {sensor.value(0), sensor.value(1)}, {sensor.intValue(0), sensor.intValue(1)}});
    }
    return states;
}

class MainFrameTest : public testing::Test {
protected:
    MainFrameTest() {
        // Test pictures: every button a solid green square, so that bars are easy to see.
        QDir(program.path()).mkpath("Pics");
        for (const char* name : {"BtnLeft", "BtnRight", "BtnResetAll", "BtnSMS", "BtnOptions", "BtnClose",
                                 "BtnFlipHor", "BtnRotateScreen", "BtnZoomIn", "BtnZoomOut", "BtnZoomAuto",
                                 "BtnCenterPos", "BtnVeloMode", "BtnSlowMode", "BtnRaceMode", "BtnPlaneMode"}) {
            QImage picture(40, 40, QImage::Format_ARGB32);
            picture.fill(qRgb(0, 255, 0));
            picture.save(QDir(program.path()).filePath(QStringLiteral("Pics/%1.png").arg(name)));
        }
        QFile::copy(MOVIRA_BIN_DIR "/lcd-u.ttf", QDir(program.path()).filePath("lcd-u.ttf"));
    }

    MainFrame::CoreFactory factory() {
        return [this] {
            auto core = std::make_unique<AppCore>(
                PlatformServices{clock, screen, battery, program.path().toStdString(), &fonts});
            auto pages = std::make_unique<WidgetManager>(*core, clock);
            pages->createWidgets();
            core->adoptDisplay(std::move(pages));
            core->setUseGpsApi(false);  // no library, no port: the reader runs idle
            core->initialize(home.path().toStdString());
            return core;
        };
    }
    // A factory that waits until the test opens the gate.
    MainFrame::CoreFactory gatedFactory() {
        return [this, make = factory(), gate = gate_.get_future().share()] {
            gate.wait();
            return make();
        };
    }
    void openGate() {
        if (gateOpen_) return;
        gateOpen_ = true;
        gate_.set_value();
    }

    void show(MainFrame::CoreFactory makeCore) {
        frame = std::make_unique<MainFrame>(std::move(makeCore), std::string());
        frame->resize(kWidth, kHeight);
        frame->show();
        frame->startInitialisation();
    }
    // Shows the window and waits for the core and the first frame.
    void start() {
        show(factory());
        ASSERT_TRUE(waitFor([&] { return frame->core() != nullptr; }));
        ASSERT_NE(frame->widgets(), nullptr);
        ASSERT_TRUE(waitFor([&] { return frame->widgets()->framesPainted() > 0; }));
    }

    // Repaints until two frames in a row are the same, so that what the last command
    // changed is on the screen; a frame drawn before it can only be the first of them.
    QImage settledFrame() {
        QImage previous;
        for (int attempt = 0; attempt < 50; ++attempt) {
            const int painted = frame->widgets()->framesPainted();
            frame->onCommand(0, UserCommand::Repaint);
            if (!waitFor([&] { return frame->widgets()->framesPainted() > painted; })) return {};
            const QImage current = frame->lastFrame();
            if (!current.isNull() && current == previous) return current;
            previous = current;
        }
        ADD_FAILURE() << "the frames do not settle";
        return previous;
    }

    std::vector<SensorState> sensorStates() { return statesOf(frame->core()->model()->sensors); }
    // The sensors of a set of their own that saw the same fixes and was then reset.
    std::vector<SensorState> resetSensorStates(const std::vector<GpsFix>& fixes) {
        SensorSet reference;
        reference.createSensors(frame->core()->uiText(), battery);
        for (const GpsFix& fix : fixes) reference.updateAll(fix);
        reference.resetAll();
        return statesOf(reference);
    }
    // Three complete fixes, one second apart, speeding up; gives the fixes as the sensors saw them.
    std::vector<GpsFix> drive() {
        std::vector<GpsFix> fixes;
        const char* times[] = {"120509.00", "120510.00", "120511.00"};
        const double kmh[] = {30.0, 40.0, 55.0};
        for (int i = 0; i < 3; ++i) {
            char gga[160];
            std::snprintf(gga, sizeof gga, "GPGGA,%s,5230.000,N,01320.000,E,1,08,0.9,35.0,M,0.0,M,,", times[i]);
            frame->core()->onSentence(nmea(gga));
            char rmc[160];
            std::snprintf(rmc, sizeof rmc, "GPRMC,%s,A,5230.%03d,N,01320.000,E,%.3f,90.0,030524,,,A", times[i],
                          i * 150, kmh[i] / 1.852);
            frame->core()->onSentence(nmea(rmc));
            fixes.push_back(frame->core()->model()->parser.fix());
        }
        return fixes;
    }
    // After a drive, the first page whose frame differs from its mirror image, shown
    // without bars (a double tap in its middle hides them), so that every pixel is page
    // content; gives that frame. A null image when every page is symmetric.
    QImage showAPageWithoutSymmetry() {
        drive();
        for (int index = 0; index < frame->widgets()->pageCount(); ++index) {
            frame->widgets()->setCurrentIndex(index);
            Widget& page = frame->widgets()->page(index);
            if (page.commonBar().isVisible()) {
                QTest::mouseDClick(frame.get(), Qt::LeftButton, {}, QPoint(kWidth / 2, kHeight / 2));
                runEvents(20);
            }
            EXPECT_FALSE(page.commonBar().isVisible()) << index;
            EXPECT_FALSE(page.ownBar().isVisible()) << index;
            const QImage picture = settledFrame();
            if (picture != picture.mirrored(true, false)) return picture;
        }
        ADD_FAILURE() << "every page is its own mirror image";
        return {};
    }
    QString settingsText() const {
        QFile file(QDir(home.path()).filePath("Speedometer.ini"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll());
    }
    QString resetText() {
        return frame->core()->uiText().isRussian() ? QStringLiteral("Сбросить датчики?")
                                                   : QStringLiteral("Reset all sensors?");
    }
    QString exitText() {
        return frame->core()->uiText().isRussian() ? QStringLiteral("Действительно выйти?")
                                                   : QStringLiteral("Confirm exit");
    }

    FakeClock clock;
    FakeScreenKeeper screen;
    FakeBattery battery;
    QtFontRegistry fonts{[](const std::string& face, const QString& family) { Font::mapFace(face, family); }};
    QTemporaryDir program;
    QTemporaryDir home;
    std::unique_ptr<MainFrame> frame;  // goes before the fakes it uses

private:
    std::promise<void> gate_;
    bool gateOpen_ = false;

protected:
    // Declared last, so it runs first: a gated factory never keeps the window's destructor waiting.
    struct GateOpener {
        MainFrameTest& test;
        ~GateOpener() { test.openGate(); }
    } gateOpener{*this};
};

TEST_F(MainFrameTest, AFrameOfThePaintThreadIsShownAtTheWindowsSize) {
    start();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Movira"));
    EXPECT_TRUE(frame->isWindow());
    EXPECT_EQ(frame->clientSize(), (Size{kWidth, kHeight}));
    const QImage presented = settledFrame();
    ASSERT_EQ(presented.size(), QSize(kWidth, kHeight));
    // What the window paints is that frame, pixel for pixel.
    const QImage painted = frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(painted.size(), presented.size());
    EXPECT_EQ(painted, presented.convertToFormat(QImage::Format_RGB32));
}

TEST_F(MainFrameTest, ResetAllAnsweredNoLeavesEverySensor) {
    start();
    frame->widgets()->setCurrentIndex(2);  // the large speed: most sensors are not on this page
    const std::vector<GpsFix> fixes = drive();
    const std::vector<SensorState> before = sensorStates();
    ASSERT_FALSE(before == resetSensorStates(fixes));

    BoxAnswerer no(QMessageBox::No);
    frame->onCommand(0, UserCommand::ResetAll);
    ASSERT_TRUE(no.seen());
    EXPECT_EQ(no.boxes(), 1);
    EXPECT_EQ(no.title(), QStringLiteral("Speedometer"));
    EXPECT_EQ(no.text(), resetText());
    EXPECT_TRUE(sensorStates() == before);
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(MainFrameTest, ResetAllAnsweredYesResetsEverySensorOnEveryPage) {
    start();
    frame->widgets()->setCurrentIndex(2);
    const std::vector<GpsFix> fixes = drive();
    const std::vector<SensorState> before = sensorStates();
    const std::vector<SensorState> reset = resetSensorStates(fixes);
    ASSERT_EQ(before.size(), reset.size());
    // The drive has given texts to many sensors, among them ones that page 2 does not show.
    int shown = 0;
    for (const SensorState& sensor : before) shown += sensor.text.empty() ? 0 : 1;
    EXPECT_GE(shown, 10);
    ASSERT_FALSE(before[9] == reset[9]);    // the distance
    ASSERT_FALSE(before[13] == reset[13]);  // the highest speed

    // As a button does it: posted to the window.
    BoxAnswerer yes(QMessageBox::Yes);
    frame->post(UserCommand::ResetAll);
    ASSERT_TRUE(waitFor([&] { return yes.seen(); }));
    runEvents(50);
    EXPECT_EQ(yes.boxes(), 1);
    EXPECT_EQ(yes.title(), QStringLiteral("Speedometer"));
    EXPECT_EQ(yes.text(), resetText());
    // Every sensor is back where a reset takes it: no text, totals and bests cleared
    // (instantaneous numbers such as the speed are kept until the next fix).
    const std::vector<SensorState> after = sensorStates();
    ASSERT_EQ(after.size(), reset.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].text, L"") << "sensor " << i;
        EXPECT_TRUE(after[i] == reset[i]) << "sensor " << i;
    }
    EXPECT_EQ(after[9].values[0], 0.0f);
    EXPECT_EQ(frame->widgets()->currentIndex(), 2);
}

TEST_F(MainFrameTest, CloseAppAnsweredNoKeepsTheWindow) {
    start();
    BoxAnswerer no(QMessageBox::No);
    frame->post(UserCommand::CloseApp);
    ASSERT_TRUE(waitFor([&] { return no.seen(); }));
    runEvents(200);
    EXPECT_EQ(no.title(), QStringLiteral("Speedometer"));
    EXPECT_EQ(no.text(), exitText());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->isWindow());
    EXPECT_NE(frame->core(), nullptr);
}

TEST_F(MainFrameTest, CloseAppAnsweredYesClosesTheWindowAndTheSettingsAreSaved) {
    start();
    frame->widgets()->setCurrentIndex(4);
    BoxAnswerer yes(QMessageBox::Yes);
    frame->post(UserCommand::CloseApp);
    ASSERT_TRUE(waitFor([&] { return yes.seen(); }));
    EXPECT_EQ(yes.title(), QStringLiteral("Speedometer"));
    EXPECT_EQ(yes.text(), exitText());
    ASSERT_TRUE(waitFor([&] { return !frame->isVisible(); }));
    EXPECT_FALSE(frame->isWindow());
    frame.reset();
    const QString settings = settingsText();
    EXPECT_TRUE(settings.contains("[Main]")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("LastCurrentWidget=4")) << settings.toStdString();
}

TEST_F(MainFrameTest, CommandsTheWindowDoesNotKnowChangeNothing) {
    start();
    frame->widgets()->setCurrentIndex(3);
    drive();
    const QImage before = settledFrame();
    const std::vector<SensorState> sensors = sensorStates();
    struct Case {
        int wParam;
        int command;
    } cases[] = {
        {1, UserCommand::ResetAll}, {1, UserCommand::CloseApp}, {1, UserCommand::FlipHor}, {-1, UserCommand::NextWidget},
        {0, 0}, {0, UserCommand::ZoomIn}, {0, 11}, {0, 19}, {0, 1000}, {0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wParam << " " << c.command);
        BoxAnswerer watcher(QMessageBox::No);
        frame->onCommand(c.wParam, c.command);
        runEvents(30);
        EXPECT_FALSE(watcher.seen());
        EXPECT_TRUE(frame->isVisible());
        EXPECT_EQ(frame->widgets()->currentIndex(), 3);
        EXPECT_EQ(frame->widgets()->position(), 3.0f);
        EXPECT_TRUE(sensorStates() == sensors);
        EXPECT_EQ(settledFrame(), before);
    }
}

TEST_F(MainFrameTest, LeftAndRightKeysSlideAsTheArrowCommandsDo) {
    start();
    struct Way {
        Qt::Key key;
        int command;
        std::vector<int> pages;  // the current page after each step from page 0
    } ways[] = {
        {Qt::Key_Right, UserCommand::NextWidget, {1, 2, 3, 4, 5, 0, 1}},
        {Qt::Key_Left, UserCommand::PrevWidget, {5, 4, 3, 2, 1, 0, 5}},
    };
    for (const Way& way : ways) {
        std::vector<int> byKey;
        std::vector<int> byCommand;
        frame->widgets()->setCurrentIndex(0);
        for (size_t step = 0; step < way.pages.size(); ++step) {
            QTest::keyClick(frame.get(), way.key);
            byKey.push_back(frame->widgets()->currentIndex());
            EXPECT_EQ(frame->widgets()->position(), static_cast<float>(byKey.back()));
        }
        frame->widgets()->setCurrentIndex(0);
        for (size_t step = 0; step < way.pages.size(); ++step) {
            frame->post(way.command);
            runEvents(20);
            byCommand.push_back(frame->widgets()->currentIndex());
            EXPECT_EQ(frame->widgets()->position(), static_cast<float>(byCommand.back()));
        }
        EXPECT_EQ(byKey, way.pages);
        EXPECT_EQ(byCommand, way.pages);
    }
    // Other keys do nothing.
    frame->widgets()->setCurrentIndex(2);
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Space, Qt::Key_Return, Qt::Key_Escape, Qt::Key_A}) {
        QTest::keyClick(frame.get(), key);
    }
    runEvents(20);
    EXPECT_EQ(frame->widgets()->currentIndex(), 2);
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(MainFrameTest, MirrorTwiceRestoresThePicture) {
    start();
    const QImage original = showAPageWithoutSymmetry();
    ASSERT_EQ(original.size(), QSize(kWidth, kHeight));

    // Column x of the mirrored frame is column W - 1 - x of the original.
    frame->post(UserCommand::FlipHor);
    runEvents(20);
    EXPECT_EQ(settledFrame(), original.mirrored(true, false));
    frame->post(UserCommand::FlipHor);
    runEvents(20);
    EXPECT_EQ(settledFrame(), original);
}

TEST_F(MainFrameTest, RotateScreenTurnsTheFrameClockwise) {
    start();
    const QImage upright = showAPageWithoutSymmetry();
    ASSERT_EQ(upright.size(), QSize(kWidth, kHeight));
    // The page drawn for a landscape window is what the turned portrait frame shows.
    frame->resize(kHeight, kWidth);
    ASSERT_TRUE(waitFor([&] { return frame->clientSize() == Size{kHeight, kWidth}; }));
    const QImage landscape = settledFrame();
    ASSERT_EQ(landscape.size(), QSize(kHeight, kWidth));
    frame->resize(kWidth, kHeight);
    ASSERT_TRUE(waitFor([&] { return frame->clientSize() == Size{kWidth, kHeight}; }));
    ASSERT_EQ(settledFrame(), upright);

    frame->post(UserCommand::RotateScreen);
    runEvents(20);
    const QImage turned = settledFrame();
    ASSERT_EQ(turned.size(), QSize(kWidth, kHeight));
    EXPECT_NE(turned, upright);
    EXPECT_EQ(turned.convertToFormat(QImage::Format_RGB32),
              landscape.convertToFormat(QImage::Format_RGB32).transformed(QTransform().rotate(90)));

    frame->post(UserCommand::RotateScreen);
    runEvents(20);
    EXPECT_EQ(settledFrame(), upright);
}

// A desktop window resized in one direction, or a panel taking height: every new client
// size is shown by a frame of that size, the common bar on the edges of its shape.
TEST_F(MainFrameTest, AWindowResizedInOneDirectionShowsAFrameOfItsNewSize) {
    start();
    for (const QSize size : {QSize(kWidth, 500), QSize(600, 500), QSize(600, kHeight)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        frame->resize(size);
        ASSERT_TRUE(waitFor([&] { return frame->clientSize() == Size{size.width(), size.height()}; }));
        Widget& page = frame->widgets()->page(frame->widgets()->currentIndex());
        page.onDoubleClick();
        if (page.commonBar().isVisible()) page.onDoubleClick();
        const QImage withoutBars = settledFrame();
        page.showButtons();
        const QImage presented = settledFrame();
        ASSERT_EQ(presented.size(), size);
        const QImage painted = frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(painted, presented.convertToFormat(QImage::Format_RGB32));
        // ResetAll, the first cell: at the top left in portrait, at the foot of the left edge in landscape.
        const bool portrait = size.width() < size.height();
        const int cell = ((portrait ? size.width() : size.height()) - 5) / 6;
        const QPoint resetAll = portrait ? QPoint(cell / 2, 20) : QPoint(20, size.height() - cell / 2);
        EXPECT_NE(presented.pixel(resetAll), withoutBars.pixel(resetAll));
    }
}

TEST_F(MainFrameTest, InputBeforeTheHandOverDoesNothing) {
    show(gatedFactory());
    ASSERT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->core(), nullptr);
    EXPECT_EQ(frame->widgets(), nullptr);
    {
        BoxAnswerer watcher(QMessageBox::No);
        QTest::mouseClick(frame.get(), Qt::LeftButton, {}, QPoint(240, 400));
        QTest::mousePress(frame.get(), Qt::LeftButton, {}, QPoint(400, 400));
        QTest::mouseMove(frame.get(), QPoint(100, 400));
        QTest::mouseRelease(frame.get(), Qt::LeftButton, {}, QPoint(100, 400));
        QTest::mouseDClick(frame.get(), Qt::LeftButton, {}, QPoint(240, 400));
        QTest::keyClick(frame.get(), Qt::Key_Right);
        QTest::keyClick(frame.get(), Qt::Key_Left);
        for (int command = 0; command <= 19; ++command) frame->post(command);
        runEvents(100);
        EXPECT_FALSE(watcher.seen());
    }
    EXPECT_EQ(frame->core(), nullptr);
    EXPECT_TRUE(frame->lastFrame().isNull());
    EXPECT_TRUE(frame->isVisible());

    openGate();
    ASSERT_TRUE(waitFor([&] { return frame->core() != nullptr; }));
    ASSERT_NE(frame->widgets(), nullptr);
    ASSERT_TRUE(waitFor([&] { return !frame->lastFrame().isNull(); }));
    EXPECT_EQ(frame->widgets()->currentIndex(), 0);
    EXPECT_EQ(frame->widgets()->position(), 0.0f);
    EXPECT_EQ(frame->lastFrame().size(), QSize(kWidth, kHeight));
}

TEST_F(MainFrameTest, AWindowClosedBeforeTheHandOverShutsTheCoreDownWhenItArrives) {
    show(gatedFactory());
    frame->close();
    runEvents(20);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_FALSE(frame->isWindow());
    EXPECT_EQ(frame->core(), nullptr);
    // The core is still being built while the window object goes: its destructor waits for it.
    std::thread opener([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        openGate();
    });
    frame.reset();
    opener.join();
    const QString settings = settingsText();
    EXPECT_TRUE(settings.contains("[Main]")) << settings.toStdString();
    for (const char* key : {"TrackFolder=", "UseGPSAPI=false", "LastCurrentWidget=0"}) {
        EXPECT_TRUE(settings.contains(key)) << key;
    }
}

}  // namespace
}  // namespace movira::test
