#include "track/TrackJournal.h"

#include "track/TrackWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace movira {
namespace {

constexpr char kMark[TrackJournal::HeaderSize + 1] = "MVTRKJ1\n";
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

}  // namespace

TrackJournal::TrackJournal() : slots_(std::make_unique<Slots>()) {}

TrackJournal::~TrackJournal() { stop(); }

void TrackJournal::start(const std::string& folder) {
    if (thread_.joinable()) return;
    if (path_.empty()) path_ = pathIn(folder);
    stopping_ = false;
    thread_ = std::thread(&TrackJournal::run, this);
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
    if (!path_.empty() && fileMade_) JournalFile::remove(path_);
    fileMade_ = false;
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
        wake_.wait_for(lock, WritePeriod, [this] { return stopping_ || flushRequests_ > flushesDone_; });
        const bool stopping = stopping_;
        const uint64_t requests = flushRequests_;
        const bool flushAsked = requests > flushesDone_;
        lock.unlock();

        if (writeWaiting(buffer)) unsynced = true;
        const auto now = SteadyClock::now();
        if (unsynced && (stopping || flushAsked || now - lastSync >= SyncPeriod)) {
            file_.sync();
            unsynced = false;
            lastSync = now;
        }

        lock.lock();
        flushesDone_ = requests;
        flushed_.notify_all();
        if (stopping) return;
    }
}

bool TrackJournal::openFile() {
    if (file_.isOpen()) return true;
    TrackWriter::createFolder(path_.substr(0, path_.find_last_of('/')));
    // The first file of this object starts empty: a journal found here is an earlier run's.
    if (!file_.open(path_, fileMade_ ? JournalFile::Open::Append : JournalFile::Open::Truncate)) return false;
    fileMade_ = true;
    const size_t size = file_.size();
    if (size < HeaderSize) {
        if (!file_.truncate(0) || !file_.append(std::string_view(kMark, HeaderSize))) {
            file_.close();
            return false;
        }
    } else if ((size - HeaderSize) % RecordSize != 0) {
        // A record cut short by a failed write: the next ones must start on a record boundary.
        if (!file_.truncate(size - (size - HeaderSize) % RecordSize)) {
            file_.close();
            return false;
        }
    }
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
        file_.close();  // reopened, and cut back to whole records, with the next points
        return false;
    }
    return true;
}

bool TrackJournal::load(const std::string& path, TrackLog& log) {
    bool headerSeen = false, isJournal = true;
    std::string header;
    unsigned char record[RecordSize];
    size_t filled = 0;
    const auto result = JournalFile::read(path, HeaderSize + MaxRecoveredPoints * RecordSize, [&](std::string_view piece) {
        if (!isJournal) return;
        if (!headerSeen) {
            const size_t take = std::min(piece.size(), HeaderSize - header.size());
            header.append(piece.substr(0, take));
            piece.remove_prefix(take);
            if (header.size() < HeaderSize) return;
            headerSeen = true;
            if (header != std::string_view(kMark, HeaderSize)) {
                isJournal = false;
                return;
            }
        }
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
    return result == JournalFile::ReadResult::Read && headerSeen && isJournal;
}

void TrackJournal::recover(const std::string& folder, bool kml, bool gpx) {
    const std::string path = pathIn(folder);
    TrackLog log;
    if (!load(path, log)) return;  // nothing of ours there; a new journal replaces the file anyway
    TrackWriter writer(log);
    bool written = true;
    if (kml) written = writer.writeKml(folder) && written;
    if (gpx) written = writer.writeGpx(folder) && written;
    // A journal whose files could not be written (a full card) is tried again at the next start.
    if (written) JournalFile::remove(path);
}

}  // namespace movira
