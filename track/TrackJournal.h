// Keeps the accepted track points of a run on disk while it runs, so that a run ended by a
// power cut, a crash or a kill still leaves its track: the next start turns the journal into
// track files. The reader thread hands points over without waiting or file I/O; a thread of
// the journal's own appends them every second and flushes them to the disk every 5 seconds.
//
// File "movira-track.journal" in the track folder: an 8-byte mark, then one 40-byte record per
// point (altitude, longitude, latitude, course, speed as little-endian float32 bits, the eight
// 16-bit fields of the local time, then a CRC-32 of those 36 bytes). A record cut short by a
// power cut, or one whose check fails, is left out on reading.
//
// start, stop, flush and remove belong to one controlling thread (the UI thread); push to one
// producer (the GPS reader thread).
#pragma once

#include "core/TrackLog.h"
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

namespace movira {

class TrackJournal {
public:
    static constexpr char FileName[] = "movira-track.journal";
    static constexpr size_t Capacity = 4096;  // points waiting between two writes (about 147 KB)
    static constexpr size_t HeaderSize = 8;
    static constexpr size_t RecordSize = 40;
    // A journal is read up to this many points (46 days at one fix a second).
    static constexpr size_t MaxRecoveredPoints = 4'000'000;
    static constexpr std::chrono::milliseconds WritePeriod{1000};
    static constexpr std::chrono::milliseconds SyncPeriod{5000};

    TrackJournal();
    ~TrackJournal();
    TrackJournal(const TrackJournal&) = delete;
    TrackJournal& operator=(const TrackJournal&) = delete;

    // Starts the writing thread. The folder of the first start holds the journal for the
    // object's whole life, so one run keeps one journal across restarts of the connection.
    // The file (and any missing folder) is made with the first point; a journal left there by
    // an earlier run is replaced then, so recover it first.
    void start(const std::string& folder);
    // Writes what was handed over, flushes it to the disk and ends the thread. The file stays.
    void stop();
    // Returns once every point handed over before the call is on the disk (false when not running).
    bool flush();
    // After stop: deletes the journal (its points are in track files now).
    void remove();

    // Producer thread only: never blocks and does no I/O. False, and the point is not
    // journaled, when the writer has fallen `Capacity` points behind (a stuck disk).
    bool push(const TrackPoint& point);
    uint64_t droppedPoints() const { return dropped_.load(std::memory_order_relaxed); }

    static std::string pathIn(const std::string& folder) { return folder + "/" + FileName; }
    // Appends the points of the journal at `path` to `log`; false when there is none, or it
    // cannot be read, or it is not a journal.
    static bool load(const std::string& path, TrackLog& log);
    // Before the connection starts: a journal left in `folder` by a run that did not end
    // normally becomes a KML and/or a GPX file (under the next free numbers, as the flags say),
    // then it is deleted.
    static void recover(const std::string& folder, bool kml, bool gpx);

private:
    void run();
    // Writing thread: moves the waiting points into the file. True when bytes were appended.
    bool writeWaiting(std::string& buffer);
    bool openFile();

    using Slots = std::array<TrackPoint, Capacity>;
    const std::unique_ptr<Slots> slots_;
    std::atomic<uint64_t> head_{0};  // points handed over; written by the producer
    std::atomic<uint64_t> tail_{0};  // points taken; written by the writing thread
    std::atomic<uint64_t> dropped_{0};

    std::thread thread_;
    std::mutex mutex_;  // guards the four fields below
    std::condition_variable wake_;
    std::condition_variable flushed_;
    bool stopping_ = false;
    uint64_t flushRequests_ = 0;
    uint64_t flushesDone_ = 0;

    std::string path_;        // fixed by the first start
    JournalFile file_;        // writing thread while it runs, controlling thread otherwise
    bool fileMade_ = false;   // this object has made (or emptied) its file
};

}  // namespace movira
