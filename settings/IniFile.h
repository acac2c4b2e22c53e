// The settings store: the settings file's lines in order, with their comments, so a save keeps the file.
// No lock: loaded on the initialisation thread, then read, changed and saved on the UI thread, one at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace movira {

// One section line (empty key) or key line of the file. All text is 8-bit and kept byte for byte.
struct IniEntry {
    std::string comment;   // the full-line comments that stood before this line, each ending in "\n"
    char marker = ' ';     // ' ' for an active line; '#' or ';' for a commented-out section or key line
    std::string section;   // the section's name; for a key line the section it belongs to ("" before any)
    std::string key;
    std::string value;
};

class IniFile {
public:
    // Replaces the entries with the file's. A missing file is created empty. False when the file can
    // be neither read nor created; the entries are then empty.
    bool load(const std::string& path);
    // Writes a temporary file beside `path` and renames it over `path`, so that a failed save leaves the
    // old file as it was. False when the file could not be written.
    bool save(const std::string& path) const;

    // Lookups find the first such key, commented-out or not, comparing bytes (case-sensitive).
    // getValue gives empty text for a missing key: callers apply their own defaults.
    std::string getValue(std::string_view key, std::string_view section) const;
    // Sets the first such key, else adds it at the top of its section, else adds the section at the end.
    // False only for an empty key, which cannot be written as a key line.
    bool setValue(std::string_view key, std::string_view value, std::string_view section);
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view key, std::string_view section) const;

    const std::vector<IniEntry>& entries() const { return entries_; }
    // Comment lines after the last entry; they are written back at the end of the file.
    const std::string& trailingComment() const { return trailingComment_; }

private:
    void parse(std::string_view bytes);
    std::string text() const;

    std::vector<IniEntry> entries_;
    std::string trailingComment_;
};

}  // namespace movira
