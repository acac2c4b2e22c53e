// The real program end to end: Speedometer on Qt's offscreen platform reads a pseudo-terminal
// receiver fed by nmea-replay, closes itself after a while, and leaves its settings file and the
// pictures of its six pages. The large speed page is read back digit by digit (the LCD face has
// seven segments), so the test knows which speed and which time of day the program showed and
// can hold them against the log.
#include "tests/support/RealProgram.h"

#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace movira {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string demoDrive = test::RealProgram::DemoDrive;
using test::readFile;

// The valid RMC sentences of a log: seconds since midnight (UTC) and speed in km/h.
struct LogFix {
    int second;
    double kmh;
};

std::vector<LogFix> readFixes(const fs::path& log) {
    std::vector<LogFix> fixes;
    std::istringstream in(readFile(log));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("$GPRMC,", 0) != 0) continue;
        std::vector<std::string> fields;
        std::istringstream cut(line);
        for (std::string field; std::getline(cut, field, ',');) fields.push_back(field);
        if (fields.size() < 8 || fields[2] != "A" || fields[1].size() < 6) continue;
        const int hms = std::stoi(fields[1].substr(0, 6));
        fixes.push_back({hms / 10000 * 3600 + hms / 100 % 100 * 60 + hms % 100, std::stod(fields[7]) * 1.852});
    }
    return fixes;
}

// ---- reading the LCD digits back --------------------------------------------------------------

using Ink = std::function<bool(QRgb)>;

// The speed digits are white; the time of day is 0x80FF00 as the settings store it, that is red 0,
// green 255, blue 128. The page is drawn in 16-bit colour, so the saved picture holds them as
// FFFFFF and 00FF84. Only the inside of the strokes is taken (smoothed edges are darker): the
// icons beside the time are light grey and a softer green, the buttons mid grey.
bool speedInk(QRgb c) { return qRed(c) >= 0xF8 && qGreen(c) >= 0xF8 && qBlue(c) >= 0xF8; }
bool timeInk(QRgb c) { return qRed(c) < 0x20 && qGreen(c) >= 0xE0 && qBlue(c) >= 0x70 && qBlue(c) <= 0x90; }

bool anyInk(const QImage& image, const Ink& ink, int left, int top, int right, int bottom) {
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x) {
            if (ink(image.pixel(x, y))) return true;
        }
    }
    return false;
}

// The rows of `area` holding ink: first and one past the last; empty when there is none.
std::pair<int, int> inkRows(const QImage& image, const Ink& ink, const QRect& area) {
    int top = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        if (!anyInk(image, ink, area.left(), y, area.right() + 1, y + 1)) continue;
        if (top < 0) top = y;
        bottom = y + 1;
    }
    return {top, bottom};
}

// Reads what a seven-segment face wrote in `area`: glyphs are the runs of columns with ink. A
// narrow glyph is "1" when it reaches the top and the bottom of the text, ":" otherwise; any
// other glyph is decoded from which of its seven segments carry ink. Unknown patterns read "?".
std::string readSevenSegments(const QImage& image, const Ink& ink, const QRect& area) {
    const auto [top, bottom] = inkRows(image, ink, area);
    if (top < 0) return {};
    const int h = bottom - top;
    std::vector<std::pair<int, int>> glyphs;
    for (int x = area.left(); x <= area.right(); ++x) {
        const bool inked = anyInk(image, ink, x, top, x + 1, bottom);
        if (inked && (glyphs.empty() || glyphs.back().second != x)) glyphs.push_back({x, x + 1});
        else if (inked) glyphs.back().second = x + 1;
    }
    std::string text;
    for (const auto& [left, right] : glyphs) {
        const int w = right - left;
        auto lit = [&](double x0, double x1, double y0, double y1) {
            return anyInk(image, ink, left + static_cast<int>(x0 * w), top + static_cast<int>(y0 * h),
                          left + static_cast<int>(std::ceil(x1 * w)), top + static_cast<int>(std::ceil(y1 * h)));
        };
        if (w < h * 0.3) {
            text += lit(0, 1, 0, 0.12) && lit(0, 1, 0.88, 1) ? '1' : ':';
            continue;
        }
        // Segments a..g: top, upper right, lower right, bottom, lower left, upper left, middle.
        const int pattern = lit(0.3, 0.7, 0, 0.15) << 6 | lit(0.75, 1, 0.2, 0.35) << 5 |
                            lit(0.75, 1, 0.65, 0.8) << 4 | lit(0.3, 0.7, 0.85, 1) << 3 |
                            lit(0, 0.25, 0.65, 0.8) << 2 | lit(0, 0.25, 0.2, 0.35) << 1 | lit(0.3, 0.7, 0.42, 0.58);
        static const std::map<int, char> digits = {
            {0b1111110, '0'}, {0b1101101, '2'}, {0b1111001, '3'}, {0b0110011, '4'}, {0b1011011, '5'},
            {0b1011111, '6'}, {0b1110000, '7'}, {0b1110010, '7'}, {0b1111111, '8'}, {0b1111011, '9'},
        };
        const auto found = digits.find(pattern);
        text += found == digits.end() ? '?' : found->second;
    }
    return text;
}

// What the large speed page shows: the time of day in the band at the top, the speed below it.
struct SpeedPage {
    std::string time;
    std::string speed;
};

SpeedPage readSpeedPage(const QImage& page) {
    const QRect whole = page.rect();
    const auto [timeTop, timeBottom] = inkRows(page, timeInk, whole);
    SpeedPage shown;
    if (timeTop < 0) return shown;
    shown.time = readSevenSegments(page, timeInk, QRect(0, 0, page.width(), timeBottom));
    // Below the time and the icons beside it (no taller than the time's band).
    const int speedTop = timeBottom + (timeBottom - timeTop) / 2;
    shown.speed = readSevenSegments(page, speedInk, QRect(0, speedTop, page.width(), page.height() - speedTop));
    return shown;
}

// "h:mm:ss" as seconds since midnight; nothing for anything else.
std::optional<int> secondsOf(const std::string& time) {
    int h = 0, m = 0, s = 0;
    char tail = 0;
    if (std::sscanf(time.c_str(), "%d:%2d:%2d%c", &h, &m, &s, &tail) != 3) return std::nullopt;
    return h * 3600 + m * 60 + s;
}

// ---- one run of the program -------------------------------------------------------------------

constexpr const char* pageClasses[] = {"TableWidget",      "SpeedometerWidget", "FullScreenSpeedWidget",
                                       "SattelitesWidget", "SpeedChartWidget",  "PathWidget"};

// nmea-replay plays `log` into a terminal; the program, with a home of its own pointing at it,
// shows the large speed page in a `size` window for `seconds`, then closes the normal way.
class ProgramRun {
public:
    ProgramRun(const fs::path& log, double replaySpeed, const std::string& size, double seconds) {
        home = program_.home;
        snapshots = program_.root / "snapshots";
        const std::optional<fs::path> link = program_.startReceiver(log, replaySpeed);
        replayReady = link.has_value();

        // Serial mode on the replay's terminal; the large speed page at start.
        program_.writeSettings(" [Main]\n UseGPSAPI=false\n COMPort=" + (link ? link->string() : std::string()) +
                               "\n LastCurrentWidget=2\n");
        char quitAfter[32];
        std::snprintf(quitAfter, sizeof quitAfter, "%g", seconds);
        auto program = program_.start(
            {"--windowed", size, "--quit-after", quitAfter, "--snapshot-dir", snapshots.string()});
        started = program->started();
        // Generous: a sanitizer build starts slowly; a hang ends here, killed.
        exitStatus = program->wait(std::chrono::milliseconds(static_cast<int>(seconds * 1000)) + 120s);
        program.reset();
        programOutput = test::readFile(program_.output("program"));
        program_.receiver.reset();
        settings = program_.settings();
    }

    QImage snapshot(const char* page) const {
        return QImage(QString::fromStdString((snapshots / (std::string(page) + ".png")).string()));
    }

    fs::path home;
    fs::path snapshots;
    bool replayReady = false;
    bool started = false;
    std::optional<int> exitStatus;
    std::string programOutput;
    test::SettingsFile settings;

private:
    test::RealProgram program_;
};

void expectFinished(const ProgramRun& run) {
    ASSERT_TRUE(run.replayReady) << "nmea-replay made no terminal link";
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.exitStatus.has_value()) << "the program did not end in time\n" << run.programOutput;
    ASSERT_EQ(*run.exitStatus, 0) << run.programOutput;
}

void expectSnapshots(const ProgramRun& run, int width, int height) {
    for (const char* page : pageClasses) {
        const QImage image = run.snapshot(page);
        ASSERT_FALSE(image.isNull()) << page << ".png is missing or unreadable";
        EXPECT_EQ(image.width(), width) << page;
        EXPECT_EQ(image.height(), height) << page;
    }
}

double number(const std::string& text) {
    try {
        return std::stod(text);
    } catch (...) {
        return std::nan("");
    }
}

// The bundled drive at eight times real time for twelve seconds: about the first 96 seconds of
// it, two standing starts to past 100 km/h.
TEST(EndToEnd, DemoDriveOnASerialReceiver) {
    const ProgramRun run(demoDrive, 8, "480x800", 12);
    ASSERT_NO_FATAL_FAILURE(expectFinished(run));
    ASSERT_NO_FATAL_FAILURE(expectSnapshots(run, 480, 800));

    const auto main = run.settings.find("Main");
    ASSERT_NE(main, run.settings.end()) << "no [Main] section";
    for (const char* key : {"TrackFolder", "COMPort", "COMPortBaudRate", "EnableKMLTrack", "EnableGPXTrack", "AlwaysOn",
                            "UseGPSAPI", "LastCurrentWidget"}) {
        EXPECT_EQ(main->second.count(key), 1u) << key;
    }
    EXPECT_EQ(main->second.at("UseGPSAPI"), "false");
    EXPECT_EQ(main->second.at("LastCurrentWidget"), "2");

    // The page as the program last drew it: which second of the drive, at which speed.
    const SpeedPage shown = readSpeedPage(run.snapshot("FullScreenSpeedWidget"));
    const std::optional<int> second = secondsOf(shown.time);
    ASSERT_TRUE(second) << "time read: '" << shown.time << "', speed read: '" << shown.speed << "'";
    const std::vector<LogFix> fixes = readFixes(demoDrive);
    ASSERT_FALSE(fixes.empty());
    const auto fix = std::find_if(fixes.begin(), fixes.end(), [&](const LogFix& f) { return f.second == *second; });
    ASSERT_NE(fix, fixes.end()) << "the page shows " << shown.time << ", a time the drive does not have";
    ASSERT_FALSE(shown.speed.empty());
    EXPECT_NEAR(number(shown.speed), fix->kmh, 0.5 + 1e-3) << "at " << shown.time;

    // The saved trip lies between what the log holds up to that second and a little after it: the
    // program reads on for a moment between the picture and saving.
    const int start = fixes.front().second;
    auto logFigures = [&](int until) {
        double maxKmh = 0, km = 0;
        for (size_t i = 0; i < fixes.size() && fixes[i].second <= until; ++i) {
            maxKmh = std::max(maxKmh, fixes[i].kmh);
            if (i > 0) km += (fixes[i].kmh + fixes[i - 1].kmh) / 2 / 3600;
        }
        return std::pair{maxKmh, km};
    };
    const auto [maxShown, kmShown] = logFigures(*second);
    const auto [maxLater, kmLater] = logFigures(*second + 30);
    const auto sensors = run.settings.find("LastSensorsValue");
    ASSERT_NE(sensors, run.settings.end()) << "no [LastSensorsValue] section";
    auto value = [&](const char* key) {
        const auto found = sensors->second.find(key);
        return found == sensors->second.end() ? std::nan("") : number(found->second);
    };
    EXPECT_GT(value("Max speed"), 0.0);
    EXPECT_GE(value("Max speed"), maxShown - 0.01);
    EXPECT_LE(value("Max speed"), maxLater + 0.01);
    EXPECT_GT(value("Distance"), 0.0);
    EXPECT_GE(value("Distance"), kmShown - 0.005);
    EXPECT_LE(value("Distance"), kmLater + 0.005);
    EXPECT_GE(value("Elapsed"), *second - start);
    EXPECT_LE(value("Elapsed"), *second + 30 - start);
    // The first standing start: 0-100 km/h in 7.61 s (see data/demo/README.md), done 38 s in.
    if (*second - start > 40) {
        const std::string accel = sensors->second.count("Accel. 0-100 km/h") ? sensors->second.at("Accel. 0-100 km/h") : "";
        EXPECT_NEAR(number(accel), 100, 1e-9) << accel;
        EXPECT_NEAR(number(accel.substr(accel.find(';') + 1)), 7.61, 0.02) << accel;
    }
}

// A receiver that holds 123 km/h, in a landscape window: the page must read exactly "123".
TEST(EndToEnd, SteadySpeedInLandscape) {
    test::TemporaryFolder logFolder;
    const fs::path log = logFolder.path() / "steady.nmea";
    {
        std::ofstream out(log);
        auto sentence = [&out](const std::string& body) {
            unsigned sum = 0;
            for (char c : body) sum ^= static_cast<unsigned char>(c);
            char tail[8];
            std::snprintf(tail, sizeof tail, "*%02X", sum);
            out << '$' << body << tail << "\r\n";
        };
        // Two minutes from 12:00:00 at 123 km/h (66.415 kn) due east: 0.0303' of longitude a second.
        for (int s = 0; s < 120; ++s) {
            char time[16];
            std::snprintf(time, sizeof time, "12%02d%02d", s / 60, s % 60);
            const double minutes = 20 + s * 0.0303;
            char body[160];
            std::snprintf(body, sizeof body, "GPGGA,%s.00,5230.0000,N,013%07.4f,E,1,08,0.9,35.0,M,0.0,M,,", time,
                          minutes);
            sentence(body);
            std::snprintf(body, sizeof body, "GPRMC,%s,A,5230.0000,N,013%07.4f,E,66.415,90.0,030524,,,A", time,
                          minutes);
            sentence(body);
        }
    }
    const ProgramRun run(log, 4, "800x480", 6);
    ASSERT_NO_FATAL_FAILURE(expectFinished(run));
    ASSERT_NO_FATAL_FAILURE(expectSnapshots(run, 800, 480));
    const SpeedPage shown = readSpeedPage(run.snapshot("FullScreenSpeedWidget"));
    EXPECT_EQ(shown.speed, "123") << "time read: '" << shown.time << "'";
    const std::optional<int> second = secondsOf(shown.time);
    ASSERT_TRUE(second) << "time read: '" << shown.time << "'";
    EXPECT_GE(*second, 12 * 3600);
    EXPECT_LT(*second, 12 * 3600 + 120);
}

}  // namespace
}  // namespace movira
