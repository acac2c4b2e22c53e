#include "platform/FileFailure.h"

#include <cstring>

namespace movira {

FileFailure FileFailure::fromErrno(std::string path, int error) {
    char buffer[256];
    // The GNU strerror_r returns its text, which need not be the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return FileFailure{std::move(path), text};
}

void FailureLog::report(const std::string& what, const FileFailure& failure) {
    std::string line = "cannot write " + what + " " + failure.path + ": " + failure.reason;
    std::lock_guard lock(mutex_);
    if (out_) {
        std::fprintf(out_, "Movira: %s\n", line.c_str());
        std::fflush(out_);
    }
    last_ = std::move(line);
}

std::string FailureLog::last() const {
    std::lock_guard lock(mutex_);
    return last_;
}

}  // namespace movira
