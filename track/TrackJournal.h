// Keeps the accepted track points of a run on disk while it runs, so that a run ended by a
// power cut, a crash or a kill still leaves its track: the next start turns the journal into
// track files. The reader thread hands points over without waiting or file I/O; a thread of
// the journal's own appends them every second and flushes them to the disk every 5 seconds.
//
// One file per run, "movira-track-<n>.journal" in the journal folder, n one more than any there:
// a run never touches an earlier run's journal. The file: an 8-byte mark, the run's settings
// (its track folder and which track files it wants, with a CRC-32), then one 40-byte record per
// point (altitude, longitude, latitude, course, speed as little-endian float32 bits, the eight
// 16-bit fields of the local time, then a CRC-32 of those 36 bytes). A record cut short by a
// power cut, or one whose check fails, is left out on reading.
//
// start, stop, flush, setRun and remove belong to one controlling thread (the UI thread); push
// to one producer (the GPS reader thread).
#pragma once

#include "core/TrackLog.h"
#include "platform/FileFailure.h"
#include "track/JournalFile.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace movira {

class TrackJournal {
public:
    // What a run's track files are: where they go and which are wanted.
    struct Run {
        std::string trackFolder;
        bool kml = false;
        bool gpx = false;
        bool operator==(const Run&) const = default;
    };

    // The journal an earlier version left in the track folder.
    static constexpr char LegacyFileName[] = "movira-track.journal";
    static constexpr size_t Capacity = 4096;  // points waiting between two writes (about 147 KB)
    static constexpr size_t MarkSize = 8;
    static constexpr size_t RecordSize = 40;
    // A journal is read up to this many points (46 days at one fix a second).
    static constexpr size_t MaxRecoveredPoints = 4'000'000;
    static constexpr std::chrono::milliseconds WritePeriod{1000};
    static constexpr std::chrono::milliseconds SyncPeriod{5000};

    explicit TrackJournal(FailureLog* failures = nullptr);
    ~TrackJournal();
    TrackJournal(const TrackJournal&) = delete;
    TrackJournal& operator=(const TrackJournal&) = delete;

    // Starts the writing thread. The folder of the first start holds the journal for the
    // object's whole life, so one run keeps one journal across restarts of the connection.
    // The file (and any missing folder) is made with the first point.
    void start(const std::string& journalFolder, const Run& run);
    // The run's track folder or flags changed: the journal moves to a new file that records
    // them, with every point so far, and the old file goes.
    void setRun(const Run& run);
    // Writes what was handed over, flushes it to the disk and ends the thread. The file stays.
    void stop();
    // Returns once every point handed over before the call is on the disk (false when not running).
    bool flush();
    // After stop: deletes the journal (its points are in track files now).
    void remove();
    // The file written now; empty before the first point.
    std::string path() const;

    // Producer thread only: never blocks and does no I/O. False, and the point is not
    // journaled, when the writer has fallen `Capacity` points behind (a stuck disk).
    bool push(const TrackPoint& point);
    uint64_t droppedPoints() const { return dropped_.load(std::memory_order_relaxed); }

    // The journals in `journalFolder`, oldest first.
    static std::vector<std::string> journalsIn(const std::string& journalFolder);
    // Appends the points of the journal at `path` to `log` and gives the run it records (a
    // journal of an earlier version records none: `run` is then left as it was); false when
    // there is none, or it cannot be read, or it is not a journal.
    static bool load(const std::string& path, TrackLog& log, Run* run = nullptr);
    // Before the connection starts: every journal left by runs that did not end normally becomes
    // the KML and/or GPX file its run wanted, in its run's track folder, oldest first; then it is
    // deleted. One whose files cannot be written (a full card) stays for the next start, and the
    // failure is reported. `legacy` is the run assumed for a journal of an earlier version in its
    // track folder.
    static void recover(const std::string& journalFolder, const Run& legacy, FailureLog* failures = nullptr);
    // Some of a journal's track files were written, the others not: from now on it wants only
    // `run` (the others), so that no file is written twice. Replaced in one step.
    static bool narrow(const std::string& path, const Run& run);

private:
    void run();
    // Writing thread: moves the waiting points into the file. True when bytes were appended.
    bool writeWaiting(std::string& buffer);
    bool openFile();
    // Writing thread: a new file with the run's settings and every record of the open one.
    bool moveToNewFile(bool removeOld);
    bool makeNewFile(JournalFile& file, size_t& headerSize);
    void failed(const std::string& path, int error);

    using Slots = std::array<TrackPoint, Capacity>;
    const std::unique_ptr<Slots> slots_;
    std::atomic<uint64_t> head_{0};  // points handed over; written by the producer
    std::atomic<uint64_t> tail_{0};  // points taken; written by the writing thread
    std::atomic<uint64_t> dropped_{0};
    FailureLog* const failures_;

    std::thread thread_;
    mutable std::mutex mutex_;  // guards the fields up to path_
    std::condition_variable wake_;
    std::condition_variable flushed_;
    bool stopping_ = false;
    uint64_t flushRequests_ = 0;
    uint64_t flushesDone_ = 0;
    Run run_;
    bool runChanged_ = false;
    std::string path_;  // the file written now

    std::string folder_;      // fixed by the first start
    JournalFile file_;        // writing thread while it runs, controlling thread otherwise
    size_t headerSize_ = 0;   // of the open file
    bool failing_ = false;    // writing thread: the last write failed (reported once)
};

}  // namespace movira
