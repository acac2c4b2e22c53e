#include "track/TrackJournal.h"

#include "track/TrackWriter.h"

#include "platform/DurableFile.h"

#include <cerrno>
#include <charconv>
#include <filesystem>

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <utility>
#include <string_view>

namespace movira {
namespace {

constexpr char kMarkV1[TrackJournal::MarkSize + 1] = "MVTRKJ1\n";  // records right after the mark
constexpr char kMark[TrackJournal::MarkSize + 1] = "MVTRKJ2\n";    // the run's settings first
constexpr char kFilePrefix[] = "movira-track-";
constexpr char kFileSuffix[] = ".journal";
constexpr size_t kMaxRunSize = 65536;
constexpr size_t kPointBytes = 36;

const std::array<uint32_t, 256>& crcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

// CRC-32 as zlib computes it.
uint32_t crc32(const unsigned char* bytes, size_t size) {
    const auto& table = crcTable();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put16(unsigned char*& out, uint16_t v) {
    *out++ = static_cast<unsigned char>(v);
    *out++ = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char*& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) *out++ = static_cast<unsigned char>(v >> (8 * i));
}
uint16_t get16(const unsigned char*& in) {
    const uint16_t v = static_cast<uint16_t>(in[0] | (in[1] << 8));
    in += 2;
    return v;
}
uint32_t get32(const unsigned char*& in) {
    const uint32_t v = uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
    in += 4;
    return v;
}

void encode(const TrackPoint& p, unsigned char* record) {
    unsigned char* out = record;
    for (float v : {p.altitude, p.longitude, p.latitude, p.course, p.speed}) put32(out, std::bit_cast<uint32_t>(v));
    const SystemTime& t = p.localTime;
    for (uint16_t v : {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds}) put16(out, v);
    put32(out, crc32(record, kPointBytes));
}

bool decode(const unsigned char* record, TrackPoint& p) {
    const unsigned char* in = record + kPointBytes;
    if (get32(in) != crc32(record, kPointBytes)) return false;
    in = record;
    for (float* v : {&p.altitude, &p.longitude, &p.latitude, &p.course, &p.speed}) *v = std::bit_cast<float>(get32(in));
    SystemTime& t = p.localTime;
    for (uint16_t* v : {&t.year, &t.month, &t.dayOfWeek, &t.day, &t.hour, &t.minute, &t.second, &t.milliseconds}) {
        *v = get16(in);
    }
    return true;
}


// The mark and the run's settings: size (4), flags (1), track folder, CRC-32 of size to folder (4).
std::string encodeHeader(const TrackJournal::Run& run) {
    std::string header(kMark, TrackJournal::MarkSize);
    const std::string folder = run.trackFolder.substr(0, kMaxRunSize - 1);
    std::string info(4, '\0');
    auto* size = reinterpret_cast<unsigned char*>(info.data());
    put32(size, static_cast<uint32_t>(1 + folder.size()));
    info.push_back(static_cast<char>((run.kml ? 1 : 0) | (run.gpx ? 2 : 0)));
    info += folder;
    std::string check(4, '\0');
    auto* out = reinterpret_cast<unsigned char*>(check.data());
    put32(out, crc32(reinterpret_cast<const unsigned char*>(info.data()), info.size()));
    return header + info + check;
}

// The number in a journal's file name; nothing for any other name.
std::optional<uint64_t> journalNumber(std::string_view name) {
    if (!name.starts_with(kFilePrefix) || !name.ends_with(kFileSuffix)) return std::nullopt;
    name.remove_prefix(sizeof kFilePrefix - 1);
    name.remove_suffix(sizeof kFileSuffix - 1);
    uint64_t number = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (name.empty() || error != std::errc{} || end != name.data() + name.size()) return std::nullopt;
    return number;
}

}  // namespace

TrackJournal::TrackJournal(FailureLog* failures) : slots_(std::make_unique<Slots>()), failures_(failures) {}

TrackJournal::~TrackJournal() { stop(); }

void TrackJournal::start(const std::string& journalFolder, const Run& run) {
    if (thread_.joinable()) return;
    if (folder_.empty()) folder_ = journalFolder;
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
        if (!(run_ == run)) runChanged_ = true;
        run_ = run;
    }
    thread_ = std::thread(&TrackJournal::run, this);
}

void TrackJournal::setRun(const Run& run) {
    {
        std::lock_guard lock(mutex_);
        if (run_ == run) return;
        run_ = run;
        runChanged_ = true;
    }
    wake_.notify_one();
}

void TrackJournal::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    file_.close();
}

bool TrackJournal::flush() {
    if (!thread_.joinable()) return false;
    std::unique_lock lock(mutex_);
    const uint64_t request = ++flushRequests_;
    wake_.notify_one();
    flushed_.wait(lock, [&] { return flushesDone_ >= request; });
    return true;
}

void TrackJournal::remove() {
    stop();
    std::lock_guard lock(mutex_);
    if (!path_.empty()) JournalFile::remove(path_);
    path_.clear();
}

std::string TrackJournal::path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

bool TrackJournal::push(const TrackPoint& point) {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) >= Capacity) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    (*slots_)[head % Capacity] = point;
    head_.store(head + 1, std::memory_order_release);
    return true;
}

void TrackJournal::run() {
    using SteadyClock = std::chrono::steady_clock;
    std::string buffer;
    buffer.reserve(Capacity * RecordSize);
    auto lastSync = SteadyClock::now();
    bool unsynced = false;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, WritePeriod,
                       [this] { return stopping_ || runChanged_ || flushRequests_ > flushesDone_; });
        const bool stopping = stopping_;
        const uint64_t requests = flushRequests_;
        const bool flushAsked = requests > flushesDone_;
        const bool runChanged = std::exchange(runChanged_, false);
        lock.unlock();

        if (writeWaiting(buffer)) unsynced = true;
        // New settings of the run: a file that records them takes over every point.
        if (runChanged && file_.isOpen() && moveToNewFile(true)) unsynced = false;
        const auto now = SteadyClock::now();
        if (stopping || flushAsked || now - lastSync >= SyncPeriod) {
            if (unsynced && !file_.sync()) failed(file_.path(), file_.error());
            unsynced = false;
            lastSync = now;
            // The folder was removed under the journal: its points go to a new file there.
            if (file_.isOpen() && !file_.isStillThere()) moveToNewFile(false);
        }

        lock.lock();
        flushesDone_ = requests;
        flushed_.notify_all();
        if (stopping) return;
    }
}

void TrackJournal::failed(const std::string& path, int error) {
    if (failing_) return;  // said once, until the journal works again
    failing_ = true;
    if (failures_) failures_->report("the track journal", FileFailure::fromErrno(path, error));
}

bool TrackJournal::makeNewFile(JournalFile& file, size_t& headerSize) {
    Run run;
    {
        std::lock_guard lock(mutex_);
        run = run_;
    }
    FileFailure failure;
    if (!TrackWriter::createFolder(folder_, &failure)) {
        if (!failing_ && failures_) failures_->report("the track journal folder", failure);
        failing_ = true;
        return false;
    }
    const std::string header = encodeHeader(run);
    const auto existing = journalsIn(folder_);
    uint64_t number = existing.empty() ? 1 : *journalNumber(existing.back().substr(existing.back().rfind('/') + 1)) + 1;
    std::string path;
    for (int attempt = 0;; ++attempt, ++number) {
        char name[64];
        std::snprintf(name, sizeof name, "/%s%06llu%s", kFilePrefix, static_cast<unsigned long long>(number), kFileSuffix);
        path = folder_ + name;
        if (file.open(path, JournalFile::Open::New)) break;
        if (file.error() != EEXIST || attempt == 100) {
            failed(path, file.error());
            return false;
        }
    }
    if (!file.append(header)) {
        failed(path, file.error());
        file.close();
        JournalFile::remove(path);
        return false;
    }
    headerSize = header.size();
    failing_ = false;  // a new failure is said again
    return true;
}

bool TrackJournal::openFile() {
    if (file_.isOpen()) return true;
    const std::string known = path();
    if (!known.empty() && file_.open(known, JournalFile::Open::Existing)) {
        const size_t size = file_.size();
        if (size >= headerSize_) {
            // A record cut short by a failed write: the next ones must start on a record boundary.
            const size_t cut = (size - headerSize_) % RecordSize;
            if (cut == 0 || file_.truncate(size - cut)) return true;
        }
        file_.close();
    }
    // The first point of the run, or its file is gone: a new file (the journal folder made again).
    JournalFile next;
    size_t headerSize = 0;
    if (!makeNewFile(next, headerSize)) return false;
    file_ = std::move(next);
    headerSize_ = headerSize;
    std::lock_guard lock(mutex_);
    path_ = file_.path();
    return true;
}

bool TrackJournal::moveToNewFile(bool removeOld) {
    JournalFile next;
    size_t headerSize = 0;
    if (!makeNewFile(next, headerSize)) return false;
    // Whole records only: the old file may end in one cut short.
    const size_t size = file_.size();
    const size_t end = size < headerSize_ ? headerSize_ : size - (size - headerSize_) % RecordSize;
    std::vector<char> buffer(4096 * RecordSize);
    for (size_t at = headerSize_; at < end;) {
        const ssize_t count = file_.readAt(at, buffer.data(), std::min(buffer.size(), end - at));
        if (count <= 0 || !next.append(std::string_view(buffer.data(), static_cast<size_t>(count)))) {
            failed(next.path(), count <= 0 ? errno : next.error());
            next.close();
            JournalFile::remove(next.path());
            return false;
        }
        at += static_cast<size_t>(count);
    }
    if (!next.sync()) {
        failed(next.path(), next.error());
        next.close();
        JournalFile::remove(next.path());
        return false;
    }
    // Only now, with every point in the new file on the disk, may the old one go.
    if (removeOld && file_.isStillThere()) JournalFile::remove(file_.path());
    file_ = std::move(next);
    headerSize_ = headerSize;
    failing_ = false;
    std::lock_guard lock(mutex_);
    path_ = file_.path();
    return true;
}

bool TrackJournal::writeWaiting(std::string& buffer) {
    const uint64_t tail = tail_.load(std::memory_order_relaxed);
    const uint64_t head = head_.load(std::memory_order_acquire);
    if (head == tail) return false;
    buffer.resize((head - tail) * RecordSize);
    auto* out = reinterpret_cast<unsigned char*>(buffer.data());
    for (uint64_t i = tail; i != head; ++i, out += RecordSize) encode((*slots_)[i % Capacity], out);
    tail_.store(head, std::memory_order_release);
    // Points that cannot be written now are lost to the journal only; the track log keeps them.
    if (!openFile()) return false;
    if (!file_.append(buffer)) {
        failed(file_.path(), file_.error());
        file_.close();  // reopened, and cut back to whole records, with the next points
        return false;
    }
    return true;
}

std::vector<std::string> TrackJournal::journalsIn(const std::string& journalFolder) {
    std::vector<std::pair<uint64_t, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(journalFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (const auto number = journalNumber(name)) found.emplace_back(*number, journalFolder + "/" + name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& [number, path] : found) paths.push_back(std::move(path));
    return paths;
}

bool TrackJournal::load(const std::string& path, TrackLog& log, Run* run) {
    enum class Part { Mark, RunSize, RunInfo, Records, Foreign } part = Part::Mark;
    std::string header;
    size_t headerSize = MarkSize;
    unsigned char record[RecordSize];
    size_t filled = 0;
    Run recorded;
    const auto result = JournalFile::read(path, kMaxRunSize + 16 + MaxRecoveredPoints * RecordSize, [&](std::string_view piece) {
        while (!piece.empty() && part != Part::Records && part != Part::Foreign) {
            const size_t take = std::min(piece.size(), headerSize - header.size());
            header.append(piece.substr(0, take));
            piece.remove_prefix(take);
            if (header.size() < headerSize) return;
            if (part == Part::Mark) {
                if (header == std::string_view(kMarkV1, MarkSize)) {
                    part = Part::Records;
                } else if (header == std::string_view(kMark, MarkSize)) {
                    part = Part::RunSize;
                    headerSize += 4;
                } else {
                    part = Part::Foreign;
                }
            } else if (part == Part::RunSize) {
                const auto* in = reinterpret_cast<const unsigned char*>(header.data()) + MarkSize;
                const uint32_t size = get32(in);
                if (size == 0 || size > kMaxRunSize) {
                    part = Part::Foreign;
                } else {
                    part = Part::RunInfo;
                    headerSize += size + 4;
                }
            } else {
                const auto* info = reinterpret_cast<const unsigned char*>(header.data()) + MarkSize;
                const size_t size = headerSize - MarkSize - 4;
                const unsigned char* check = info + size;
                if (get32(check) != crc32(info, size)) {
                    part = Part::Foreign;  // the run is not known: the points cannot be placed
                } else {
                    recorded.kml = (info[4] & 1) != 0;
                    recorded.gpx = (info[4] & 2) != 0;
                    recorded.trackFolder.assign(reinterpret_cast<const char*>(info) + 5, size - 5);
                    part = Part::Records;
                }
            }
        }
        if (part != Part::Records) return;
        while (!piece.empty()) {
            const size_t take = std::min(piece.size(), RecordSize - filled);
            std::memcpy(record + filled, piece.data(), take);
            filled += take;
            piece.remove_prefix(take);
            if (filled < RecordSize) break;
            filled = 0;
            TrackPoint point{};
            if (decode(record, point)) log.append(point);
        }
    });
    if (result != JournalFile::ReadResult::Read || part != Part::Records) return false;
    if (run && headerSize > MarkSize) *run = recorded;
    return true;
}

namespace {

// The track files `run` wants from `log`; gives the run of those that could not be written
// (reported), which wants nothing when all were.
TrackJournal::Run writeTracks(const TrackLog& log, const TrackJournal::Run& run, FailureLog* failures) {
    TrackWriter writer(log);
    TrackJournal::Run unwritten{run.trackFolder, false, false};
    FileFailure failure;
    if (run.kml && !writer.writeKml(run.trackFolder, &failure)) {
        unwritten.kml = true;
        if (failures) failures->report("the track file", failure);
    }
    if (run.gpx && !writer.writeGpx(run.trackFolder, &failure)) {
        unwritten.gpx = true;
        if (failures) failures->report("the track file", failure);
    }
    return unwritten;
}

}  // namespace

void TrackJournal::recover(const std::string& journalFolder, const Run& legacy, FailureLog* failures) {
    // An earlier version's journal is the oldest of all.
    std::vector<std::pair<std::string, Run>> journals{{legacy.trackFolder + "/" + LegacyFileName, legacy}};
    for (std::string& path : journalsIn(journalFolder)) journals.emplace_back(std::move(path), Run{});
    for (auto& [path, run] : journals) {
        TrackLog log;
        if (!load(path, log, &run)) continue;  // nothing of ours there: left alone
        // An earlier version's journal, and no settings that say what it is for: kept for later.
        if (!run.kml && !run.gpx && &run == &journals.front().second) continue;
        // A journal whose files could not be written (a full card) is tried again at the next start.
        const Run unwritten = writeTracks(log, run, failures);
        if (!unwritten.kml && !unwritten.gpx) {
            JournalFile::remove(path);
        } else if (!(unwritten == run)) {
            narrow(path, unwritten);
        }
    }
}

bool TrackJournal::narrow(const std::string& path, const Run& run) {
    TrackLog log;
    if (!load(path, log)) return false;
    std::string bytes = encodeHeader(run);
    const size_t header = bytes.size();
    bytes.resize(header + log.size() * RecordSize);
    auto* out = reinterpret_cast<unsigned char*>(bytes.data() + header);
    for (size_t i = 0; i < log.size(); ++i, out += RecordSize) encode(log[i], out);
    return DurableFile::replace(path, bytes);
}

}  // namespace movira
