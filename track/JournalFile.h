// The file under the track journal: appended to, flushed to the disk on demand, read back
// whole (up to a limit) and removed. One thread uses an object at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace movira {

class JournalFile {
public:
    // `Existing` opens a file that is there; `New` makes one that is not (with the umask's mode).
    enum class Open { Existing, New };

    JournalFile() = default;
    ~JournalFile();
    JournalFile(JournalFile&& other) noexcept;
    JournalFile& operator=(JournalFile&& other) noexcept;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // False when it cannot be opened; error() then says why.
    bool open(const std::string& path, Open mode);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // Bytes of the file now.
    size_t size() const;
    // Everything or false; a failed append may leave part of the bytes behind.
    bool append(std::string_view bytes);
    // Up to `size` bytes from `offset`; fewer at the end of the file, -1 on failure.
    ssize_t readAt(size_t offset, char* buffer, size_t size) const;
    // The bytes appended so far reach the disk, and so does the file's name when it is new.
    bool sync();
    // Whether the open file is still the one its path names: false once it (or its folder) was
    // removed, when the bytes written go nowhere a reader can find them.
    bool isStillThere() const;
    void close();
    // The error number of the last failure.
    int error() const { return error_; }

    // Cuts the file back to `size` bytes (a record left half written).
    bool truncate(size_t size);

    // Hands the file at `path` to `consume` in pieces, from the start, until `limit` bytes or its
    // end. Missing when it does not exist; Failed when it is not a regular file or cannot be read.
    enum class ReadResult { Read, Missing, Failed };
    static ReadResult read(const std::string& path, size_t limit, const std::function<void(std::string_view)>& consume);
    static void remove(const std::string& path);

private:
    int fd_ = -1;
    int error_ = 0;
    std::string path_;
    bool folderSynced_ = false;
};

}  // namespace movira
