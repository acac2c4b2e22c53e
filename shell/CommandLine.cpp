#include "shell/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace movira {
namespace {

constexpr int kMaxWindowSide = 16384;
// Seconds, about 24 days: the longest a timer waits (milliseconds in an int).
constexpr double kMaxQuitAfter = 2147483.0;

std::optional<int> positiveInt(const std::string& text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    const int value = std::atoi(text.c_str());
    if (value <= 0 || value > kMaxWindowSide) return std::nullopt;
    return value;
}

std::optional<Size> windowSize(const std::string& text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) return std::nullopt;
    const auto width = positiveInt(text.substr(0, x));
    const auto height = positiveInt(text.substr(x + 1));
    if (!width || !height) return std::nullopt;
    return Size{*width, *height};
}

std::optional<double> seconds(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0 || value > kMaxQuitAfter) return std::nullopt;
    return value;
}

}  // namespace

std::string CommandLine::usage(const std::string& program) {
    const std::string indent(program.size() + 8, ' ');
    return "Usage: " + program + " [--home DIR] [--windowed WxH] [--quit-after SECONDS]\n" + indent +
           "[--snapshot-dir DIR] [--help] [--version]\n"
           "\n"
           "  --home DIR           keep Speedometer.ini and the tracks in DIR (default: $MOVIRA_HOME,\n"
           "                       else the program's folder when it can be written, else\n"
           "                       ~/.config/movira with the tracks in ~/Documents/Movira)\n"
           "  --windowed WxH       a plain window with a W x H client area instead of full screen\n"
           "  --quit-after SECONDS close the normal way after that time (tracks and settings saved)\n"
           "  --snapshot-dir DIR   on closing, save each of the six pages as DIR/<Page>.png\n"
           "  --help               show this text\n"
           "  --version            show the version\n";
}

std::string CommandLine::programName(const char* argv0) {
    std::string name = argv0 ? argv0 : "";
    if (const auto slash = name.find_last_of('/'); slash != std::string::npos) name.erase(0, slash + 1);
    return name.empty() ? "Speedometer" : name;
}

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        if (name == "--help" || name == "-h") {
            line.help = true;
        } else if (name == "--version") {
            line.version = true;
        } else if (name == "--home") {
            const auto dir = value();
            if (!dir || dir->empty()) return line.error = "--home needs a folder", line;
            line.home = *dir;
        } else if (name == "--snapshot-dir") {
            const auto dir = value();
            if (!dir || dir->empty()) return line.error = "--snapshot-dir needs a folder", line;
            line.snapshotDir = *dir;
        } else if (name == "--windowed") {
            const auto text = value();
            line.windowed = text ? windowSize(*text) : std::nullopt;
            if (!line.windowed) return line.error = "--windowed needs a size such as 480x800", line;
        } else if (name == "--quit-after") {
            const auto text = value();
            line.quitAfterSeconds = text ? seconds(*text) : std::nullopt;
            if (!line.quitAfterSeconds) return line.error = "--quit-after needs a number of seconds", line;
        } else {
            line.error = "unknown option: " + arguments[i];
            return line;
        }
    }
    return line;
}

}  // namespace movira
