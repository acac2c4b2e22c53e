#include "track/TrackWriter.h"

#include "core/NoValue.h"
#include "platform/DurableFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace movira {
namespace {

namespace fs = std::filesystem;

constexpr char kKmlHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<kml xmlns=\"http://earth.google.com/kml/2.1\">\r\n"
    "<Placemark>\r\n"
    "\t<name>Movira track</name>\r\n"
    "\t<LineString>\r\n"
    "\t\t<extrude>0</extrude>\r\n"
    "\t\t<tessellate>1</tessellate>\r\n"
    "\t\t<altitudeMode>clampToGround</altitudeMode>\r\n"
    "\t\t<coordinates>\r\n";
constexpr char kKmlFooter[] = "\t\t</coordinates>\r\n\t</LineString>\r\n</Placemark>\r\n</kml>";

constexpr char kGpxNamespace[] = "http://www.topografix.com/GPX/1/0";
constexpr char kGpxHeaderStart[] =
    "<?xml version=\"1.0\"?>\r\n"
    "<gpx \r\n"
    " version=\"1.0\"\r\n"
    " creator=\"Movira V2.95 - https://movira.app\"\r\n"
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n";
constexpr char kGpxFooter[] = "</rte>\r\n</gpx>";

// Bytes per point, for reserving the text at once.
constexpr size_t kKmlPointSize = 48;
constexpr size_t kGpxPointSize = 120;

// Six decimals with a point, whatever the process locale. A float holds about seven digits:
// the decimals are those of the shortest decimal that reads back as the same float, so the
// 37.62 of a receiver (37.6199989... as a float) is written 37.620000, not 37.619999.
void appendFixed(std::string& text, float value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc{}) return;
    const std::string_view shortest(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t point = shortest.find('.');
    const size_t decimals = point == std::string_view::npos ? 0 : shortest.size() - point - 1;
    if (decimals <= 6 && std::isfinite(value)) {
        text += shortest;
        if (point == std::string_view::npos) text += '.';
        text.append(6 - decimals, '0');
        return;
    }
    // More than six decimals (or no number at all): that decimal rounded to six, as printf rounds.
    double decimal = 0;
    std::from_chars(shortest.data(), shortest.data() + shortest.size(), decimal);
    if (!std::isfinite(value)) decimal = value;
    result = std::to_chars(buffer, buffer + sizeof buffer, decimal, std::chars_format::fixed, 6);
    text.append(buffer, result.ptr);
}

void appendInt(std::string& text, int value, int width) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    for (auto digits = result.ptr - buffer; digits < width; ++digits) text.push_back('0');
    text.append(buffer, result.ptr);
}

// Local times of the points to UTC. The zone's rules are asked once per local minute (zones
// change their offset only on a minute's start): a day of fixes asks 1,440 times, not 86,400.
class UtcConverter {
public:
    std::optional<SystemTime> toUtc(const SystemTime& local) {
        const auto seconds = local.toUnixSeconds();  // the local time read as if it were UTC
        if (!seconds) return std::nullopt;
        const int64_t minute = *seconds - local.second;
        if (!known_ || minute != minute_) {
            const auto utc = local.localToUtc();
            if (!utc) return std::nullopt;
            known_ = true;
            minute_ = minute;
            offset_ = *seconds - *utc->toUnixSeconds();
        }
        return SystemTime::fromUnixSeconds(*seconds - offset_, 0);
    }

private:
    bool known_ = false;
    int64_t minute_ = 0;
    int64_t offset_ = 0;  // local minus UTC, seconds
};

// A point the files can hold: a place on the Earth. NoValue and text that read as infinite or out
// of range would make the file invalid for every reader.
bool isPlace(const TrackPoint& p) {
    return p.latitude != NoValue && p.longitude != NoValue && std::isfinite(p.latitude) &&
           std::isfinite(p.longitude) && p.latitude >= -90.0f && p.latitude <= 90.0f && p.longitude >= -180.0f &&
           p.longitude <= 180.0f;
}

bool hasAltitude(const TrackPoint& p) { return p.altitude != NoValue && std::isfinite(p.altitude); }

// Calls `write` for every point that goes into a file: every place, except one that repeats
// the position written last (standing still). Level roads, roads along a parallel or a meridian
// and receivers without altitude keep all their points. Stops early when `write` says false.
template <class Write>
void forEachWrittenPoint(const TrackLog& log, Write write) {
    bool any = false;
    float latitude = 0, longitude = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        const TrackPoint& p = log[i];
        if (!isPlace(p)) continue;
        if (any && p.latitude == latitude && p.longitude == longitude) continue;
        if (!write(p)) return;
        any = true;
        latitude = p.latitude;
        longitude = p.longitude;
    }
}

// The text of a file, whole or in pieces: with a writer, what has been made is handed on each
// time it passes a megabyte, so that a day at 25 Hz (a quarter of a gigabyte of GPX) is never
// in memory at once.
class FileText {
public:
    explicit FileText(size_t reserve, const DurableFile::Writer* writer = nullptr) : writer_(writer) {
        text.reserve(writer ? Piece + 1024 : reserve);
    }
    // After each point; false once the writer has failed.
    bool handOn() {
        if (writer_ && text.size() >= Piece) {
            ok_ = (*writer_)(text);
            text.clear();
        }
        return ok_;
    }
    void finish() {
        if (writer_ && ok_) (*writer_)(text);
    }

    std::string text;

private:
    static constexpr size_t Piece = size_t{1} << 20;
    const DurableFile::Writer* writer_;
    bool ok_ = true;
};

void makeKml(const TrackLog& log, FileText& out) {
    std::string& text = out.text;
    text += kKmlHeader;
    forEachWrittenPoint(log, [&](const TrackPoint& p) {
        text += "\t\t\t";
        appendFixed(text, p.longitude);
        text += ',';
        appendFixed(text, p.latitude);
        text += ',';
        // Three numbers always: a point without altitude lies on the ground the line is clamped to.
        appendFixed(text, hasAltitude(p) ? p.altitude : 0.0f);
        text += "\r\n";
        return out.handOn();
    });
    text += kKmlFooter;
    out.finish();
}

void makeGpx(const TrackLog& log, const std::string& fileName, FileText& out) {
    std::string& text = out.text;
    text += kGpxHeaderStart;
    text += " xmlns=\"";
    text += kGpxNamespace;
    text += "\"\r\n xsi:schemaLocation=\"";
    text += kGpxNamespace;
    text += " http://www.topografix.com/GPX/1/0/gpx.xsd\">\r\n<rte>\r\n  <name>";
    text += fileName;
    text += "</name>\r\n";
    UtcConverter converter;
    forEachWrittenPoint(log, [&](const TrackPoint& p) {
        text += " <rtept lat=\"";
        appendFixed(text, p.latitude);
        text += "\" lon=\"";
        appendFixed(text, p.longitude);
        text += "\">\r\n";
        if (hasAltitude(p)) {
            text += "  <ele>";
            appendFixed(text, p.altitude);
            text += "</ele>\r\n";
        }
        // A local time that names no instant (a receiver's bad date) leaves the point without one.
        if (const auto utc = converter.toUtc(p.localTime)) {
            text += "  <time>";
            appendInt(text, utc->year, 1);
            text += '-';
            appendInt(text, utc->month, 2);
            text += '-';
            appendInt(text, utc->day, 2);
            text += 'T';
            appendInt(text, utc->hour, 2);
            text += ':';
            appendInt(text, utc->minute, 2);
            text += ':';
            appendInt(text, utc->second, 2);
            text += "Z</time>\r\n";
        }
        text += " </rtept>\r\n";
        return out.handOn();
    });
    text += kGpxFooter;
    out.finish();
}

}  // namespace

std::string TrackWriter::kmlText() const {
    FileText out(sizeof kKmlHeader + sizeof kKmlFooter + log_.size() * kKmlPointSize);
    makeKml(log_, out);
    return std::move(out.text);
}

std::string TrackWriter::gpxText(const std::string& fileName) const {
    FileText out(512 + fileName.size() + log_.size() * kGpxPointSize);
    makeGpx(log_, fileName, out);
    return std::move(out.text);
}

bool TrackWriter::createFolder(const std::string& folder, FileFailure* failure) {
    std::error_code ignored;
    for (size_t slash = folder.find('/'); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        if (slash > 0) fs::create_directory(folder.substr(0, slash), ignored);
    }
    std::error_code error;
    if (folder.empty() || fs::create_directory(folder, error) || fs::is_directory(folder, ignored)) return true;
    if (failure) *failure = FileFailure{folder, error ? error.message() : "a file has the folder's name"};
    return false;
}

std::string TrackWriter::freeFileName(const std::string& folder, const char* extension) {
    for (int n = 1; n <= MaxFileNumber; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "/Track%04i%s", n, extension);
        std::string path = folder + name;
        std::error_code error;
        // Anything by that name counts, a folder or a dangling link too; a name that cannot be
        // looked at is taken, and its creation then fails.
        if (!fs::exists(fs::symlink_status(path, error))) return path;
    }
    return {};
}

bool TrackWriter::write(const std::string& folder, const char* extension, bool kml, FileFailure* failure) const {
    if (!createFolder(folder, failure)) return false;
    if (log_.empty()) return true;
    const std::string path = freeFileName(folder, extension);
    if (path.empty()) {
        if (failure) {
            *failure = FileFailure{folder + "/Track????" + extension, "all " + std::to_string(MaxFileNumber) +
                                                                         " file numbers are taken"};
        }
        return false;
    }
    const std::string name = path.substr(path.find_last_of('/') + 1);
    // Written beside under a temporary name, flushed and renamed: never a cut "Track%04i" file.
    // The umask says who else may read it, as for any file the user makes.
    const auto produce = [&](const DurableFile::Writer& writer) {
        FileText out(0, &writer);
        if (kml) {
            makeKml(log_, out);
        } else {
            makeGpx(log_, name, out);
        }
    };
    return DurableFile::replace(path, produce, DurableFile::SharedMode, failure);
}

bool TrackWriter::writeKml(const std::string& folder, FileFailure* failure) const {
    return write(folder, ".kml", true, failure);
}

bool TrackWriter::writeGpx(const std::string& folder, FileFailure* failure) const {
    return write(folder, ".gpx", false, failure);
}

}  // namespace movira
