// Whole-file reads, and replacing a file so that a crash, a power cut or a full disk
// leaves either the old contents or the new ones, never a cut file. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace movira {

class DurableFile {
public:
    enum class ReadResult { Read, Missing, Failed };

    // Missing only when the file does not exist; a file that exists but cannot be read, or is
    // not a regular file, is Failed.
    static ReadResult read(const std::string& path, std::string& bytes);
    // Writes a temporary file beside `path`, flushes it to the disk and renames it over `path`.
    // False when that fails; the old file is then as it was and no temporary file is left.
    static bool replace(const std::string& path, std::string_view bytes);
};

}  // namespace movira
