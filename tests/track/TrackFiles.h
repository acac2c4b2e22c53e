// What the track tests share: a temporary folder, whole-file reads, track points, and the
// outside readers that judge the files (xmllint with the schemas, gpsbabel).
#pragma once

#include "core/NoValue.h"
#include "core/TrackLog.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace movira::test {

namespace fs = std::filesystem;

class TemporaryFolder {
public:
    TemporaryFolder() {
        char pattern[] = "/tmp/movira-track-XXXXXX";
        if (mkdtemp(pattern)) path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    fs::path path_;
};

inline std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

inline void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The names in a folder, sorted; empty when it does not exist.
inline std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) names.insert(entry.path().filename().string());
    return names;
}

inline TrackPoint point(float latitude, float longitude, float altitude, SystemTime time = {2024, 5, 5, 3, 14, 5, 9, 0}) {
    return TrackPoint{altitude, longitude, latitude, 84.4f, 41.5f, time};
}

inline TrackLog logOf(std::initializer_list<TrackPoint> points) {
    TrackLog log;
    for (const TrackPoint& p : points) log.append(p);
    return log;
}

// The exit status of a shell command, its output in `output`.
inline int run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// xmllint's verdict on `file` against the schema named after its extension.
inline ::testing::AssertionResult passesSchema(const fs::path& file) {
    const std::string schema = file.extension() == ".gpx" ? "gpx10.xsd" : "kml21.xsd";
    std::string output;
    const int status = run("xmllint --noout --schema " MOVIRA_SCHEMA_DIR "/" + schema + " " + quoted(file), output);
    if (status == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "xmllint (status " << status << ") on " << file << ":\n" << output;
}

// The route points gpsbabel reads from a GPX file; -1 when it cannot read it.
inline int gpsbabelRoutePoints(const fs::path& gpx) {
    std::string output;
    if (run("gpsbabel -r -i gpx -f " + quoted(gpx) + " -o unicsv,fields=lat+lon -F -", output) != 0) return -1;
    int lines = 0;
    for (char c : output) lines += c == '\n';
    return lines == 0 ? 0 : lines - 1;  // the first line names the columns
}

inline size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

}  // namespace movira::test
