// A shared library opened with dlopen and closed with dlclose.
#pragma once

#include "platform/DynamicLibrary.h"

namespace movira {

class DlDynamicLibrary final : public DynamicLibrary {
public:
    explicit DlDynamicLibrary(void* handle) : handle_(handle) {}
    ~DlDynamicLibrary() override;
    DlDynamicLibrary(const DlDynamicLibrary&) = delete;
    DlDynamicLibrary& operator=(const DlDynamicLibrary&) = delete;

    void* symbol(const char* name) const override;

private:
    void* handle_;
};

}  // namespace movira
