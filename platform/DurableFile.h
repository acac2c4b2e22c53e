// Whole-file reads, and replacing a file so that a crash, a power cut or a full disk
// leaves either the old contents or the new ones, never a cut file. Any thread.
#pragma once

#include "platform/FileFailure.h"

#include <functional>
#include <string>
#include <string_view>

namespace movira {

class DurableFile {
public:
    enum class ReadResult { Read, Missing, Failed };

    // Missing only when the file does not exist; a file that exists but cannot be read, or is
    // not a regular file, is Failed.
    static ReadResult read(const std::string& path, std::string& bytes);
    // Modes of a file made new (the umask still applies): track files are the user's to share
    // as the umask says; the settings file holds phone numbers.
    static constexpr unsigned SharedMode = 0666;
    static constexpr unsigned PrivateMode = 0600;

    // Writes a temporary file beside `path`, flushes it to the disk and renames it over `path`.
    // A symbolic link is followed: its target is replaced (the temporary file beside it) and the
    // link stays. An existing file keeps its mode; a new one gets `newFileMode`. False when that
    // fails, with the reason in `failure`; the old file is then as it was and no temporary file
    // is left.
    static bool replace(const std::string& path, std::string_view bytes, unsigned newFileMode = SharedMode,
                        FileFailure* failure = nullptr);
    // The same for contents made piece by piece, so that a large file never has to be in memory
    // whole: `produce` hands each piece to the writer it is given, which answers false once a
    // write has failed (the producer may stop there; the file is then not replaced).
    using Writer = std::function<bool(std::string_view piece)>;
    static bool replace(const std::string& path, const std::function<void(const Writer&)>& produce,
                        unsigned newFileMode = SharedMode, FileFailure* failure = nullptr);
    // Where a write to `path` lands: the end of its chain of symbolic links (itself when none).
    static std::string linkTarget(const std::string& path);
};

}  // namespace movira
