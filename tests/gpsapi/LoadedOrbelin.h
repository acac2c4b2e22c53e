// libOrbelin.so as the program uses it: loaded with dlopen from the build's program folder and
// reached only through its three exports. Unloaded when the object goes (unless already unloaded).
#pragma once

#include "core/PositionRecord.h"

#include <dlfcn.h>

#include <cstring>
#include <string>

namespace movira::test {

class LoadedOrbelin {
public:
    static constexpr const char* path = MOVIRA_ORBELIN_PATH;

    LoadedOrbelin() {
        handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            error_ = dlerror();
            return;
        }
        start_ = reinterpret_cast<int (*)()>(dlsym(handle_, "StartGPSAPI"));
        stop_ = reinterpret_cast<int (*)()>(dlsym(handle_, "StopGPSAPI"));
        get_ = reinterpret_cast<const void* (*)()>(dlsym(handle_, "GetGPSPos"));
    }
    ~LoadedOrbelin() { unload(); }
    LoadedOrbelin(const LoadedOrbelin&) = delete;
    LoadedOrbelin& operator=(const LoadedOrbelin&) = delete;

    bool ok() const { return handle_ && start_ && stop_ && get_; }
    const std::string& error() const { return error_; }
    int start() { return start_(); }
    int stop() { return stop_(); }
    const void* address() { return get_(); }
    // What the program does: call, then copy the 344 bytes at once. The copy goes through the C
    // library's memcpy, which ThreadSanitizer sees; a copy the compiler inlines it does not.
    PositionRecord position() {
        static void* (*const volatile copy)(void*, const void*, size_t) = std::memcpy;
        PositionRecord record;
        copy(&record, get_(), sizeof record);
        return record;
    }
    void unload() {
        if (handle_) dlclose(handle_);
        handle_ = nullptr;
    }
    // Whether the library is still mapped in the process (after the last dlclose it must not be).
    static bool isMapped() {
        void* probe = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
        if (probe) dlclose(probe);
        return probe != nullptr;
    }

private:
    void* handle_ = nullptr;
    std::string error_;
    int (*start_)() = nullptr;
    int (*stop_)() = nullptr;
    const void* (*get_)() = nullptr;
};

}  // namespace movira::test
