// Any bytes as a settings file: the load must not fail, a set key must read back as set, and a saved
// file must load and save again to the same bytes.
#include "settings/IniFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>
#include <unistd.h>

namespace {

// One folder per process, reused by every input and removed at exit.
struct Scratch {
    std::string folder;
    std::string input;
    std::string first;
    std::string second;

    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/settings-fuzz-XXXXXX";
        if (!::mkdtemp(folder.data())) std::abort();
        input = folder + "/input.ini";
        first = folder + "/first.ini";
        second = folder + "/second.ini";
    }
    ~Scratch() {
        for (const std::string& file : {input, first, second}) ::unlink(file.c_str());
        ::rmdir(folder.c_str());
    }
};

std::string readAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "settings fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Scratch scratch;
    {
        std::ofstream file(scratch.input, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        check(file.good(), "cannot write the input file");
    }

    movira::IniFile ini;
    check(ini.load(scratch.input), "load failed");
    (void)ini.getValue("COMPort", "Main");
    (void)ini.hasKey("UseGPSAPI", "Main");
    (void)ini.hasSection("LastSensorsValue");

    // The first entry is the first match of its own key, so a lookup must give its value.
    if (!ini.entries().empty() && !ini.entries().front().key.empty()) {
        const movira::IniEntry& front = ini.entries().front();
        check(ini.getValue(front.key, front.section) == front.value, "first key not found");
    }
    // A section the input has (the first entry's, whatever it is) and one it most likely has not.
    const std::string existing = ini.entries().empty() ? "Main" : ini.entries().front().section;
    ini.setValue("FuzzKey", "set=value [x]", existing);
    ini.setValue("FuzzNewKey", "new", "FuzzNewSection");
    check(ini.getValue("FuzzKey", existing) == "set=value [x]", "set value not read back");
    check(ini.getValue("FuzzNewKey", "FuzzNewSection") == "new", "new value not read back");
    check(ini.save(scratch.first), "save failed");

    movira::IniFile reread;
    check(reread.load(scratch.first), "reload failed");
    check(reread.getValue("FuzzKey", existing) == "set=value [x]", "set value lost by the save");
    check(reread.save(scratch.second), "second save failed");
    check(readAll(scratch.first) == readAll(scratch.second), "load and save do not round-trip");
    return 0;
}
