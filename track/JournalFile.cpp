#include "track/JournalFile.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace movira {
namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

JournalFile::~JournalFile() { close(); }

JournalFile::JournalFile(JournalFile&& other) noexcept { *this = std::move(other); }

JournalFile& JournalFile::operator=(JournalFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        path_ = std::move(other.path_);
        folderSynced_ = other.folderSynced_;
    }
    return *this;
}

bool JournalFile::open(const std::string& path, Open mode) {
    close();
    const int flags = O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | (mode == Open::New ? O_CREAT | O_EXCL : 0);
    fd_ = ::open(path.c_str(), flags, 0666);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        error_ = EINVAL;
        close();
        return false;
    }
    path_ = path;
    folderSynced_ = false;
    return true;
}

size_t JournalFile::size() const {
    struct stat info {};
    return fd_ >= 0 && ::fstat(fd_, &info) == 0 ? static_cast<size_t>(info.st_size) : 0;
}

bool JournalFile::append(std::string_view bytes) {
    if (fd_ < 0) return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

ssize_t JournalFile::readAt(size_t offset, char* buffer, size_t size) const {
    for (;;) {
        const ssize_t count = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
        if (count >= 0 || errno != EINTR) return count;
    }
}

bool JournalFile::sync() {
    if (fd_ < 0) return false;
    if (::fdatasync(fd_) != 0) {
        error_ = errno;
        return false;
    }
    if (!folderSynced_) {
        // A new file's name lives in its folder: without this a power cut may lose the whole file.
        const int folder = ::open(folderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            folderSynced_ = ::fsync(folder) == 0 || errno == EINVAL;
            ::close(folder);
        }
    }
    return true;
}

bool JournalFile::isStillThere() const {
    struct stat open {}, named {};
    if (fd_ < 0 || ::fstat(fd_, &open) != 0) return false;
    return open.st_nlink > 0 && ::stat(path_.c_str(), &named) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
}

void JournalFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool JournalFile::truncate(size_t size) { return fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(size)) == 0; }

JournalFile::ReadResult JournalFile::read(const std::string& path, size_t limit,
                                          const std::function<void(std::string_view)>& consume) {
    // Non-blocking: a FIFO in its place must not hang the start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadResult::Failed;
    }
    char buffer[65536];
    size_t total = 0;
    while (total < limit) {
        const size_t want = std::min(sizeof buffer, limit - total);
        const ssize_t count = ::read(fd, buffer, want);
        if (count == 0) break;
        if (count < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return ReadResult::Failed;
        }
        total += static_cast<size_t>(count);
        consume(std::string_view(buffer, static_cast<size_t>(count)));
    }
    ::close(fd);
    return ReadResult::Read;
}

void JournalFile::remove(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace movira
