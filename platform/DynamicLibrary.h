// A shared library loaded at run time by name, and the addresses of its exports.
#pragma once

#include <memory>
#include <string>

namespace movira {

class DynamicLibrary {
public:
    virtual ~DynamicLibrary() = default;
    // The address of an exported symbol, or null.
    virtual void* symbol(const char* name) const = 0;

    // Loads lib<name>.so from `programFolder` first, then from the system's library path.
    // Null when neither has it (or it cannot be loaded).
    static std::unique_ptr<DynamicLibrary> open(const std::string& name, const std::string& programFolder);
};

}  // namespace movira
