// What the real program should have made of the demo drive: the track log of a stretch of it as
// the parser reads it, and the point pieces of a track file, to compare with what a run wrote.
#pragma once

#include "core/NmeaParser.h"
#include "core/TrackLog.h"

#include "tests/support/FakeClock.h"
#include "tests/support/RealProgram.h"

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace movira::test {

// The names of the files in `folder` (none when there is no such folder).
inline std::set<std::string> namesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The point pieces of a track file, in order: KML coordinate lines, or GPX rtept elements.
inline std::vector<std::string> pointsOf(const std::string& text) {
    std::vector<std::string> points;
    const bool gpx = text.find("<gpx") != std::string::npos;
    const std::string start = gpx ? " <rtept " : "\t\t\t";
    const std::string end = gpx ? " </rtept>\r\n" : "\r\n";
    for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at)) {
        const size_t stop = text.find(end, at);
        if (stop == std::string::npos) break;
        points.push_back(text.substr(at, stop + end.size() - at));
        at = stop + end.size();
    }
    return points;
}

// The demo drive read by the parser as the program reads it: the track log of its first `bytes`
// bytes as they go over the line (each sentence ending in CR LF).
inline TrackLog logOfFirstBytes(long long bytes) {
    FakeClock clock;
    NmeaParser parser(clock);
    std::istringstream in(readFile(RealProgram::DemoDrive));
    long long sent = 0;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        sent += static_cast<long long>(line.size()) + 2;
        if (sent > bytes) break;
        parser.parseSentence(line);
    }
    TrackLog copy;
    for (size_t i = 0; i < parser.trackLog().size(); ++i) copy.append(parser.trackLog()[i]);
    return copy;
}

}  // namespace movira::test
