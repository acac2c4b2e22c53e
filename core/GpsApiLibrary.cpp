#include "core/GpsApiLibrary.h"

#include <cstring>

namespace movira {

GpsApiLibrary::GpsApiLibrary(const std::string& programFolder, const std::string& name)
    : module_(DynamicLibrary::open(name, programFolder)) {
    if (!module_) return;
    start_ = reinterpret_cast<StartFunction>(module_->symbol("StartGPSAPI"));
    stop_ = reinterpret_cast<StopFunction>(module_->symbol("StopGPSAPI"));
    getPosition_ = reinterpret_cast<GetPositionFunction>(module_->symbol("GetGPSPos"));
}

void GpsApiLibrary::start() {
    if (start_) start_();
}

void GpsApiLibrary::stop() {
    if (stop_) stop_();
}

bool GpsApiLibrary::fetch(PositionRecord& record) {
    if (!getPosition_) return false;
    const void* latest = getPosition_();
    if (!latest) return false;
    std::memcpy(&record, latest, sizeof record);
    return true;
}

}  // namespace movira
