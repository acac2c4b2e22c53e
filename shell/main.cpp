// Movira's entry: the command line, one copy per user, the window, and the core built on
// the initialisation thread.
#include "core/AppCore.h"
#include "display/Font.h"
#include "display/WidgetManager.h"
#include "platform/DBusScreenKeeper.h"
#include "platform/ProgramFolder.h"
#include "platform/QtFontRegistry.h"
#include "platform/QtSoundPlayer.h"
#include "platform/SysfsBattery.h"
#include "platform/SystemClock.h"
#include "shell/CommandLine.h"
#include "shell/MainFrame.h"
#include "shell/SignalCloser.h"
#include "shell/SingleInstance.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <memory>

#ifndef MOVIRA_VERSION
#define MOVIRA_VERSION "0.0.0"
#endif

using namespace movira;

int main(int argc, char** argv) {
    const CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    // "movira" when started through the installed command, "Speedometer" in a build.
    const std::string name = CommandLine::programName(argc > 0 ? argv[0] : nullptr);
    if (!line.error.empty()) {
        std::fprintf(stderr, "%s: %s\n%s", name.c_str(), line.error.c_str(), CommandLine::usage(name).c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(CommandLine::usage(name).c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("Speedometer (Movira) %s\n", MOVIRA_VERSION);
        return 0;
    }

    QApplication application(argc, argv);
    // Qt takes the user's locale; numbers in the settings and track files stay in the C locale.
    std::setlocale(LC_NUMERIC, "C");

    MainFrame* window = nullptr;
    SingleInstance instance(QStringLiteral("Movira"));
    if (instance.anotherIsRunning([&window] {
            if (!window) return;
            window->raise();
            window->activateWindow();
        })) {
        return 0;
    }

    SystemClock clock;
    DBusScreenKeeper screenKeeper;
    SysfsBattery battery;
    QtFontRegistry fonts([](const std::string& face, const QString& family) { Font::mapFace(face, family); });
    QtSoundPlayer sounds;  // on the UI thread, which plays what the GPS reader asks for
    const ProgramFolders folders = ProgramFolder::locate(line.home);
    // The settings are written there at exit; the track folder is made when the first track goes.
    if (folders.userFolders) ProgramFolder::createPrivateFolder(folders.home);
    const PlatformServices services{clock, screenKeeper, battery, folders.data, &fonts, &sounds, folders.program};

    auto frame = std::make_unique<MainFrame>(
        [&services, &clock, &folders] {
            auto core = std::make_unique<AppCore>(services);
            auto pages = std::make_unique<WidgetManager>(*core, clock);
            pages->createWidgets();
            core->adoptDisplay(std::move(pages));
            core->initialize(folders.home, folders.tracks);
            return core;
        },
        line.snapshotDir);
    window = frame.get();

    SignalCloser signalCloser([&frame] { frame->close(); });
    if (line.windowed) {
        frame->resize(line.windowed->width, line.windowed->height);
        frame->show();
    } else {
        frame->setWindowFlag(Qt::WindowStaysOnTopHint);
        // Without a window manager (a kiosk X session on a car PC) nobody honours the full-screen
        // request: the window takes the screen's size itself first.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) frame->setGeometry(screen->geometry());
        frame->showFullScreen();
    }
    frame->startInitialisation();
    if (line.quitAfterSeconds) {
        const int ms = static_cast<int>(std::lround(*line.quitAfterSeconds * 1000.0));
        QTimer::singleShot(ms, frame.get(), [&frame] { frame->close(); });
    }

    const int result = application.exec();
    window = nullptr;
    frame.reset();  // tracks written, settings saved, pages gone
    return result;
}
