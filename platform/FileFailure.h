// A file of the user's that could not be written: its path and why, and where such failures
// go: said on standard error (the program's log) with the last one kept for the About page.
// FailureLog may be used from any thread.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace movira {

struct FileFailure {
    std::string path;
    std::string reason;

    // The reason of the C library's error number.
    static FileFailure fromErrno(std::string path, int error);
};

class FailureLog {
public:
    explicit FailureLog(std::FILE* out = stderr) : out_(out) {}

    // One line, "cannot write <what> <path>: <reason>", e.g. what = "the settings file".
    void report(const std::string& what, const FileFailure& failure);
    // The last line reported (without the program's name); empty when none.
    std::string last() const;

private:
    std::FILE* const out_;
    mutable std::mutex mutex_;
    std::string last_;
};

}  // namespace movira
