// The one helper for drawing pages and reading their pixels, shared by the display tests
// and the display benchmarks: a core with its six pages on a fake window, over a program
// folder of test pictures whose sizes and colours the tests know (or over the build's own
// program folder, with the real pictures and LCD face). Fixes are fed as NMEA sentences.
#pragma once

#include "core/AppCore.h"
#include "display/Font.h"
#include "display/WidgetManager.h"
#include "platform/QtFontRegistry.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/FakeScreenWindow.h"
#include "tests/support/FakeWindowPort.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace movira::test {

// "$<body>*hh" with the checksum of the body.
inline std::string nmea(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

// The colour of a 16-bit pixel, widened back to 8 bits per channel (low bits zero).
inline QRgb pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xF8F8F8; }
inline QRgb rgbOf(Colour c) { return qRgb(redOf(c), greenOf(c), blueOf(c)) & 0xF8F8F8; }
// An opaque colour channel of a picture as it reaches the frame: premultiplied (x 255 >> 8),
// then cut to 5 bits.
constexpr int loadedChannel(int channel) { return (channel * 255 >> 8) & 0xF8; }
inline QRgb loadedColour(QRgb c) {
    return qRgb(loadedChannel(qRed(c)), loadedChannel(qGreen(c)), loadedChannel(qBlue(c))) & 0xF8F8F8;
}

// Whether a button's test picture (solid green, drawn opaque or faded) lies at the point.
inline bool buttonAt(const QImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return false;
    const QRgb c = image.pixel(x, y);
    return qGreen(c) >= 0x30 && qRed(c) < 0x20 && qBlue(c) < 0x20;
}

// The box around every pixel of one colour inside `area`; with `before`, only the pixels
// that were not that colour there. Empty when there is none.
inline Rect inkBox(const QImage& image, QRgb colour, Rect area, const QImage* before = nullptr) {
    Rect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = std::max(0, area.top); y < std::min(image.height(), area.bottom); ++y) {
        for (int x = std::max(0, area.left); x < std::min(image.width(), area.right); ++x) {
            if (pixel(image, x, y) != colour || (before && pixel(*before, x, y) == colour)) continue;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
        }
    }
    return box.left == INT_MAX ? Rect{} : box;
}

inline void writeTestPicture(const QString& programFolder, const std::string& name, int width, int height,
                             QRgb colour) {
    QDir(programFolder).mkpath("Pics");
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    image.save(QDir(programFolder).filePath(QString::fromStdString("Pics/" + name + ".png")));
}

// The test pictures of a program folder: every button a solid green 40 x 40 square; GPS-i
// 20 x 16 with red = 40 (i + 1); Bat-n 24 x 12 with blue = 40 + n; charging 8 x 6 white.
inline void writeTestPictures(const QString& programFolder) {
    for (const char* name : {"BtnLeft", "BtnRight", "BtnResetAll", "BtnSMS", "BtnOptions", "BtnClose", "BtnFlipHor",
                             "BtnRotateScreen", "BtnZoomIn", "BtnZoomOut", "BtnZoomAuto", "BtnCenterPos",
                             "BtnVeloMode", "BtnSlowMode", "BtnRaceMode", "BtnPlaneMode"}) {
        writeTestPicture(programFolder, name, 40, 40, qRgb(0, 255, 0));
    }
    for (int i = 0; i <= 5; ++i) writeTestPicture(programFolder, "GPS-" + std::to_string(i), 20, 16, qRgb(40 * i + 40, 0, 0));
    for (int n : {0, 25, 50, 75, 100}) writeTestPicture(programFolder, "Bat-" + std::to_string(n), 24, 12, qRgb(0, 0, 40 + n));
    writeTestPicture(programFolder, "BatCharging", 8, 6, qRgb(255, 255, 255));
}

class DisplayTestBed {
public:
    // Colours of the test pictures: buttons are solid squares, icons solid boxes.
    static constexpr Colour ButtonColour = 0x00FF00;
    // Picks the build's program folder (its pictures and LCD face); settings stay in a
    // folder of the bed's own.
    struct BuiltProgram {};

    explicit DisplayTestBed(int width = 480, int height = 800, int dpi = 96, bool pictures = true)
        : window(width, height, dpi) {
        QDir(folder.path()).mkpath("Pics");
        if (pictures) writeTestPictures(folder.path());
        // The large digits in the program's own LCD face, as the program draws them.
        QFile::copy(MOVIRA_BIN_DIR "/lcd-u.ttf", QDir(folder.path()).filePath("lcd-u.ttf"));
        start(folder.path().toStdString());
    }
    DisplayTestBed(BuiltProgram, int width, int height) : window(width, height) { start(MOVIRA_BIN_DIR); }
    ~DisplayTestBed() { core->shutdown(); }

    void writePicture(const std::string& name, int width, int height, QRgb colour) {
        writeTestPicture(folder.path(), name, width, height, colour);
    }
    void removePicture(const std::string& name) {
        QDir(folder.path()).remove(QString::fromStdString("Pics/" + name + ".png"));
    }

    // A complete fix: satellites in use (GGA), then the speed (RMC).
    void fix(double kmh, int satellites = 8, const char* time = "120509.00") {
        char gga[160];
        std::snprintf(gga, sizeof gga, "GPGGA,%s,5230.000,N,01320.000,E,1,%02d,0.9,35.0,M,0.0,M,,", time, satellites);
        core->onSentence(nmea(gga));
        char rmc[160];
        std::snprintf(rmc, sizeof rmc, "GPRMC,%s,A,5230.000,N,01320.000,E,%.3f,90.0,030524,,,A", time, kmh / 1.852);
        core->onSentence(nmea(rmc));
    }
    // Every sentence of a receiver log up to its `fixes`-th RMC sentence (all of it with -1).
    void replay(const std::string& log, int fixes = -1) {
        std::ifstream in(log);
        int seen = 0;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            if (fixes >= 0 && line.size() > 6 && line.compare(3, 3, "RMC") == 0 && ++seen > fixes) break;
            core->onSentence(line);
        }
    }
    // Paints one frame now and returns what the window received.
    QImage frame() {
        pages->paintFrame();
        return window.frame();
    }
    // Ends the bars' countdowns on every edge, so that nothing covers the page and drags move it.
    void hideBars() {
        for (ButtonEdge edge : {ButtonEdge::Top, ButtonEdge::Bottom, ButtonEdge::Left, ButtonEdge::Right}) {
            pages->countdowns().hide(edge);
        }
    }
    // The page at `index` alone, without bars: one frame as the window receives it.
    QImage pageFrame(int index) {
        pages->setCurrentIndex(index);
        hideBars();
        return frame();
    }
    // A finger down and up at one point, in client device pixels.
    void tap(Point point) {
        pages->onMouseDown(point);
        pages->onMouseUp(point);
    }

    QtFontRegistry fonts{[](const std::string& face, const QString& family) { Font::mapFace(face, family); }};
    FakeClock clock;
    FakeScreenKeeper screen;
    FakeBattery battery;
    FakeWindowPort port;
    FakeScreenWindow window;
    QTemporaryDir folder;
    std::unique_ptr<AppCore> core;
    WidgetManager* pages = nullptr;

private:
    void start(const std::string& programFolder) {
        core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, programFolder, &fonts});
        auto manager = std::make_unique<WidgetManager>(*core, clock);
        manager->createWidgets();
        pages = manager.get();
        core->adoptDisplay(std::move(manager));
        core->setUseGpsApi(false);
        core->initialize(folder.path().toStdString());
        core->attachWindow(&port);
        pages->requestRepaint(window);
    }
};

}  // namespace movira::test
