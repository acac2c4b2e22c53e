// The outside GPS access library "Orbelin", loaded by name at construction.
// Start and stop run on the thread that starts or stops the connection; fetch on
// the GPS reader thread.
#pragma once

#include "core/PositionRecord.h"
#include "platform/DynamicLibrary.h"

#include <memory>
#include <string>

namespace movira {

class GpsApiLibrary {
public:
    // Looks for libOrbelin.so in `programFolder`, then on the system's library path.
    explicit GpsApiLibrary(const std::string& programFolder, const std::string& name = "Orbelin");

    bool isLoaded() const { return module_ != nullptr; }
    bool canFetch() const { return getPosition_ != nullptr; }
    void start();
    void stop();
    // Copies the library's latest record; false (record untouched) when there is none.
    bool fetch(PositionRecord& record);

private:
    using StartFunction = int (*)();
    using StopFunction = int (*)();
    using GetPositionFunction = const void* (*)();

    std::unique_ptr<DynamicLibrary> module_;
    StartFunction start_ = nullptr;
    StopFunction stop_ = nullptr;
    GetPositionFunction getPosition_ = nullptr;
};

}  // namespace movira
