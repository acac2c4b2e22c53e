// libParvox.so as the program uses it: loaded with dlopen from the build's program folder and
// reached only through its exports.
#pragma once

#include <dlfcn.h>

#include <string>

namespace movira::test {

class LoadedParvox {
public:
    static constexpr const char* path = MOVIRA_BIN_DIR "/libParvox.so";

    LoadedParvox() {
        handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            error_ = dlerror();
            return;
        }
        send_ = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(handle_, "SendParvox"));
        email_ = reinterpret_cast<int (*)()>(dlsym(handle_, "SendEmailCore"));
    }
    ~LoadedParvox() {
        if (handle_) dlclose(handle_);
    }
    LoadedParvox(const LoadedParvox&) = delete;
    LoadedParvox& operator=(const LoadedParvox&) = delete;

    bool ok() const { return handle_ && send_ && email_; }
    const std::string& error() const { return error_; }
    int send(const char* address, const char* text) const { return send_(address, text); }
    int sendEmailCore() const { return email_(); }
    // Whether the library makes `name` visible to the program.
    bool exports(const char* name) const { return handle_ && dlsym(handle_, name); }

private:
    void* handle_ = nullptr;
    std::string error_;
    int (*send_)(const char*, const char*) = nullptr;
    int (*email_)() = nullptr;
};

}  // namespace movira::test
