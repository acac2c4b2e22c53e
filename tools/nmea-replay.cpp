// nmea-replay: a test GPS receiver. Plays NMEA logs into a pseudo-terminal that a program opens as its
// serial port.
#include "tools/NmeaReplay.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <iostream>
#include <optional>
#include <string_view>

namespace {

constexpr std::string_view usage =
    "Usage: nmea-replay [--speed X] [--loop] [--link PATH] LOG...\n"
    "Plays NMEA logs into a pseudo-terminal as a GPS receiver would, and prints the terminal's path.\n"
    "\n"
    "  --speed X    pace by the RMC times: 1 is real time (the default), 2 twice as fast, 0 no pacing\n"
    "  --loop       start again from the first log after the last, until stopped\n"
    "  --link PATH  also make PATH a symbolic link to the terminal (an old link there is replaced)\n"
    "  --help       print this\n"
    "\n"
    "Lines starting with '#' and empty lines are skipped; every other line goes out with CR LF.\n"
    "Without --loop it ends once a reader has taken every byte; Ctrl-C ends it at any time.\n";

int usageError(std::string_view message) {
    std::cerr << "nmea-replay: " << message << '\n' << usage;
    return 2;
}

std::optional<double> parseSpeed(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value) || value < 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        movira::NmeaReplay::Options options;
        bool optionsEnded = false;
        for (int i = 1; i < argc; ++i) {
            const std::string_view argument = argv[i];
            if (optionsEnded || !argument.starts_with("-")) {
                options.logs.emplace_back(argument);
                continue;
            }
            // "--name value" and "--name=value" both work.
            const size_t equals = argument.find('=');
            const std::string_view name = argument.substr(0, equals);
            std::optional<std::string_view> value;
            if (equals != std::string_view::npos) value = argument.substr(equals + 1);
            const bool takesValue = name == "--speed" || name == "--link";
            if (!takesValue && name != "--" && name != "--help" && name != "-h" && name != "--loop") {
                return usageError("unknown option " + std::string(argument));
            }
            if (takesValue && !value) {
                if (i + 1 == argc) return usageError(std::string(name) + " needs a value");
                value = argv[++i];
            } else if (!takesValue && value) {
                return usageError(std::string(name) + " takes no value");
            }

            if (name == "--") {
                optionsEnded = true;
            } else if (name == "--help" || name == "-h") {
                std::cout << usage;
                return 0;
            } else if (name == "--loop") {
                options.loop = true;
            } else if (name == "--speed") {
                const std::optional<double> speed = parseSpeed(*value);
                if (!speed) return usageError("--speed needs a number, 0 or more: " + std::string(*value));
                options.speed = *speed;
            } else {
                if (value->empty()) return usageError("--link needs a path");
                options.link = *value;
            }
        }
        if (options.logs.empty()) {
            std::cerr << "nmea-replay: no log file given\n" << usage;
            return 1;
        }
        movira::NmeaReplay replay(std::move(options));
        return replay.run();
    } catch (const std::exception& error) {
        std::cerr << "nmea-replay: " << error.what() << '\n';
    } catch (...) {
        std::cerr << "nmea-replay: unexpected error\n";
    }
    return 1;
}
