// The file under the track journal: appended to, flushed to the disk on demand, read back
// whole (up to a limit) and removed. One thread uses an object at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace movira {

class JournalFile {
public:
    enum class Open { Append, Truncate };

    JournalFile() = default;
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Creates the file when missing; `Truncate` empties it. False when it cannot be opened.
    bool open(const std::string& path, Open mode);
    bool isOpen() const { return fd_ >= 0; }
    // Bytes of the file now.
    size_t size() const;
    // Everything or false; a failed append may leave part of the bytes behind.
    bool append(std::string_view bytes);
    // The bytes appended so far reach the disk, and so does the file's name when it is new.
    bool sync();
    void close();

    // Cuts the file back to `size` bytes (a record left half written).
    bool truncate(size_t size);

    // Hands the file at `path` to `consume` in pieces, from the start, until `limit` bytes or its
    // end. Missing when it does not exist; Failed when it is not a regular file or cannot be read.
    enum class ReadResult { Read, Missing, Failed };
    static ReadResult read(const std::string& path, size_t limit, const std::function<void(std::string_view)>& consume);
    static void remove(const std::string& path);

private:
    int fd_ = -1;
    std::string folder_;
    bool folderSynced_ = false;
};

}  // namespace movira
