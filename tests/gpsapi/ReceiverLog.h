// What a receiver log says, second by second, read independently of the code under test: the
// expectation for the records that come out of gpsd. A second is an RMC (any talker) and the
// sentences after it up to the next RMC.
#pragma once

#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace movira::test {

struct LoggedSatellite {
    int prn;
    int elevation;
    int azimuth;
    int snr;  // 0 when the receiver gave none
};

struct LoggedSecond {
    int64_t unixTime = 0;
    bool valid = false;  // RMC status A
    double latitude = 0, longitude = 0, knots = 0;
    std::optional<double> course;
    std::optional<double> altitude;  // GGA, metres above mean sea level
    std::optional<double> pdop, hdop, vdop;
    int used = 0;  // PRNs listed by the GSA sentences
    std::vector<LoggedSatellite> satellites;  // in the order of the log: GPS, then GLONASS, ...
    std::vector<size_t> groupEnds;            // satellite counts after each complete GSV group
    std::vector<std::string> lines;  // the second's sentences as they stand in the log
};

class ReceiverLog {
public:
    explicit ReceiverLog(const std::string& path) {
        std::ifstream in(path);
        LoggedSecond* current = nullptr;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() < 7 || line[0] != '$') continue;
            const std::vector<std::string> f = fields(line);
            const std::string type = f[0].substr(3);
            if (type == "RMC" && f.size() > 9) {
                const auto time = rmcTime(f[1], f[9]);
                if (!time) continue;
                current = &seconds_[*time];
                *current = LoggedSecond{};
                current->unixTime = *time;
                current->valid = f[2] == "A";
                if (current->valid) {
                    current->latitude = degrees(f[3], f[4]);
                    current->longitude = degrees(f[5], f[6]);
                    current->knots = f[7].empty() ? 0 : std::stod(f[7]);
                    if (!f[8].empty()) current->course = std::stod(f[8]);
                }
            }
            if (!current) continue;
            current->lines.push_back(line);
            if (type == "GGA" && f.size() > 9 && !f[6].empty() && f[6] != "0" && !f[9].empty()) {
                current->altitude = std::stod(f[9]);
            } else if (type == "GSA" && f.size() > 17) {
                for (size_t i = 3; i <= 14; ++i) current->used += !f[i].empty();
                if (!f[15].empty()) current->pdop = std::stod(f[15]);
                if (!f[16].empty()) current->hdop = std::stod(f[16]);
                if (!f[17].empty()) current->vdop = std::stod(f[17]);
            } else if (type == "GSV") {
                for (size_t i = 4; i + 3 < f.size(); i += 4) {  // a trailing signal id is no block
                    if (f[i].empty()) continue;
                    current->satellites.push_back({std::stoi(f[i]),
                                                   f[i + 1].empty() ? 0 : std::stoi(f[i + 1]),
                                                   f[i + 2].empty() ? 0 : std::stoi(f[i + 2]),
                                                   f[i + 3].empty() ? 0 : std::stoi(f[i + 3])});
                }
                if (f.size() > 2 && f[1] == f[2]) current->groupEnds.push_back(current->satellites.size());
            }
        }
    }

    const LoggedSecond* at(int64_t unixTime) const {
        const auto found = seconds_.find(unixTime);
        return found == seconds_.end() ? nullptr : &found->second;
    }
    const std::map<int64_t, LoggedSecond>& seconds() const { return seconds_; }

    // The log's own lines for the seconds in [from, to), as a receiver would send them.
    std::string text(int64_t from, int64_t to) const {
        std::string out;
        for (auto it = seconds_.lower_bound(from); it != seconds_.end() && it->first < to; ++it) {
            for (const std::string& line : it->second.lines) out += line + "\r\n";
        }
        return out;
    }

    // Seconds since 1970 of an RMC time (hhmmss[.ss]) and date (ddmmyy).
    static std::optional<int64_t> rmcTime(const std::string& time, const std::string& date) {
        if (time.size() < 6 || date.size() != 6) return std::nullopt;
        tm t{};
        t.tm_hour = std::stoi(time.substr(0, 2));
        t.tm_min = std::stoi(time.substr(2, 2));
        t.tm_sec = std::stoi(time.substr(4, 2));
        t.tm_mday = std::stoi(date.substr(0, 2));
        t.tm_mon = std::stoi(date.substr(2, 2)) - 1;
        t.tm_year = std::stoi(date.substr(4, 2)) + 100;
        return static_cast<int64_t>(timegm(&t));
    }

private:
    // Fields of a sentence, checksum cut off; the first is the identifier ("$GPRMC").
    static std::vector<std::string> fields(const std::string& line) {
        std::vector<std::string> out;
        const std::string body = line.substr(0, line.find('*'));
        std::stringstream in(body);
        for (std::string field; std::getline(in, field, ',');) out.push_back(field);
        if (body.back() == ',') out.emplace_back();  // getline drops an empty last field
        return out;
    }
    static double degrees(const std::string& value, const std::string& hemisphere) {
        const double raw = std::stod(value);
        const int whole = static_cast<int>(raw / 100);
        const double result = whole + (raw - whole * 100) / 60;
        return hemisphere == "S" || hemisphere == "W" ? -result : result;
    }

    std::map<int64_t, LoggedSecond> seconds_;
};

}  // namespace movira::test
