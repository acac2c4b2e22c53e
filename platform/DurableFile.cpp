#include "platform/DurableFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace movira {
namespace {

constexpr auto npos = std::string::npos;

DurableFile::ReadResult readAll(const std::string& path, std::string& bytes) {
    using ReadResult = DurableFile::ReadResult;
    // Non-blocking, so that a FIFO or a device in its place cannot hang the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadResult::Failed;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0) break;
        if (count < 0) {
            if (errno == EINTR) continue;
            ::close(fd);  // a folder opens but cannot be read
            return ReadResult::Failed;
        }
        bytes.append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
    return ReadResult::Read;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename reaches the disk only with the folder that holds it.
bool syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;  // EINVAL: the file system cannot sync folders
    ::close(fd);
    return synced;
}

// A name beside `target` that no file has, created empty with `mode` (less the umask).
int createTemporary(const std::string& target, unsigned mode, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".tmp-%d-%u", static_cast<int>(::getpid()), counter.fetch_add(1));
        name = target + suffix;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool replaceFile(const std::string& path, const std::function<void(const DurableFile::Writer&)>& produce,
                 unsigned newFileMode, FileFailure* failure) {
    const std::string target = DurableFile::linkTarget(path);
    auto fail = [&](int error) {
        if (failure) *failure = FileFailure::fromErrno(path, error);
        return false;
    };
    std::string temporary;
    const int fd = createTemporary(target, newFileMode, temporary);
    if (fd < 0) return fail(errno);
    struct stat old {};
    // The user's own bits on an existing file win. A file system without modes (a FAT card)
    // refuses fchmod, which must not stop the save.
    if (::stat(target.c_str(), &old) == 0) (void)::fchmod(fd, old.st_mode & 07777);
    int error = 0;
    produce([fd, &error](std::string_view piece) {
        if (error == 0 && !writeAll(fd, piece)) error = errno;
        return error == 0;
    });
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return fail(error);
    }
    if (!syncFolder(folderOf(target))) return fail(errno);
    return true;
}

}  // namespace

DurableFile::ReadResult DurableFile::read(const std::string& path, std::string& bytes) { return readAll(path, bytes); }

bool DurableFile::replace(const std::string& path, std::string_view bytes, unsigned newFileMode,
                          FileFailure* failure) {
    return replace(path, [bytes](const Writer& write) { write(bytes); }, newFileMode, failure);
}

bool DurableFile::replace(const std::string& path, const std::function<void(const Writer&)>& produce,
                          unsigned newFileMode, FileFailure* failure) {
    if (path.empty()) {
        if (failure) *failure = FileFailure::fromErrno(path, ENOENT);
        return false;
    }
    return replaceFile(path, produce, newFileMode, failure);
}

std::string DurableFile::linkTarget(const std::string& path) {
    std::string current = path;
    // As many links as the kernel follows; a loop ends there and the last name is written.
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        char buffer[4096];
        const ssize_t size = ::readlink(current.c_str(), buffer, sizeof buffer);
        if (size <= 0 || static_cast<size_t>(size) == sizeof buffer) break;
        const std::string link(buffer, static_cast<size_t>(size));
        current = link[0] == '/' ? link : folderOf(current) + "/" + link;
    }
    return current;
}

}  // namespace movira
