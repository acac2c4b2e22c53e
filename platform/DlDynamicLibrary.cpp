#include "platform/DlDynamicLibrary.h"

#include <dlfcn.h>

namespace movira {

std::unique_ptr<DynamicLibrary> DynamicLibrary::open(const std::string& name, const std::string& programFolder) {
    const std::string fileName = "lib" + name + ".so";
    void* handle = nullptr;
    if (!programFolder.empty()) handle = dlopen((programFolder + "/" + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    return std::make_unique<DlDynamicLibrary>(handle);
}

DlDynamicLibrary::~DlDynamicLibrary() { dlclose(handle_); }

void* DlDynamicLibrary::symbol(const char* name) const { return dlsym(handle_, name); }

}  // namespace movira
