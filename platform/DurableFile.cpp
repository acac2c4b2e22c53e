#include "platform/DurableFile.h"

#include <cerrno>

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

bool replaceFile(const std::string& path, std::string_view bytes) {
    std::string temporary = path + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    struct stat old {};
    // mkostemp gives 0600; the user's own bits on the file win. A file system without modes (a FAT card)
    // refuses fchmod, which must not stop the save.
    (void)::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return syncFolder(folderOf(path));
}

}  // namespace

DurableFile::ReadResult DurableFile::read(const std::string& path, std::string& bytes) { return readAll(path, bytes); }

bool DurableFile::replace(const std::string& path, std::string_view bytes) {
    return !path.empty() && replaceFile(path, bytes);
}

}  // namespace movira
