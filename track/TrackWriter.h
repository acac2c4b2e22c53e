// Writes the track log of a run as a KML line string or a GPX 1.0 route, in a new file
// "Track%04i.kml" / "Track%04i.gpx" of the track folder. Lines end in CR LF; numbers use
// six decimals. Any one thread at a time; the log must not change while it is written.
#pragma once

#include "core/TrackLog.h"
#include "platform/FileFailure.h"

#include <string>

namespace movira {

class TrackWriter {
public:
    static constexpr int MaxFileNumber = 9999;

    explicit TrackWriter(const TrackLog& log) : log_(log) {}

    // Creates the folder level by level, then writes the next free "Track%04i.kml" / ".gpx"
    // there. An empty log, no free number or a file that cannot be made leave no file. A file
    // appears under its name only once it is complete on disk. False when a file was due and
    // could not be written (the caller then keeps what it would otherwise throw away), with the
    // path and reason in `failure`.
    // A point is left out when it repeats the position written last; one without altitude is
    // written without (GPX: no <ele>; KML: altitude 0, which clamp-to-ground ignores).
    bool writeKml(const std::string& folder, FileFailure* failure = nullptr) const;
    bool writeGpx(const std::string& folder, FileFailure* failure = nullptr) const;

    // The whole text of each file; `fileName` is the name the GPX route carries.
    std::string kmlText() const;
    std::string gpxText(const std::string& fileName) const;

    // Makes every level of `folder` that is missing; false when it is not a folder after that.
    static bool createFolder(const std::string& folder, FileFailure* failure = nullptr);
    // The first "Track%04i<extension>" in `folder` that does not exist, as a full path; empty
    // when all 9999 are taken.
    static std::string freeFileName(const std::string& folder, const char* extension);

private:
    bool write(const std::string& folder, const char* extension, bool kml, FileFailure* failure) const;

    const TrackLog& log_;
};

}  // namespace movira
