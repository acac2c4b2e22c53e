// The settings store: the settings file's lines in order, with their comments, so a save keeps the file.
// No lock: its owner lets one thread at a time load, read, change or save it.
// Lines end at a line feed, a carriage return and line feed, or a lone carriage return. A line
// whose first non-blank character is ";" or "#" is a comment, whatever it holds; comments and
// lines the store cannot read travel with the next entry and are written back as they stood.
#pragma once

#include "platform/FileFailure.h"

#include <string>
#include <string_view>
#include <vector>

namespace movira {

// One section line (empty key) or key line of the file. All text is 8-bit and kept byte for byte.
struct IniEntry {
    std::string comment;   // the full-line comments that stood before this line, each ending in "\n"
    char marker = ' ';     // written before the line: active lines start with a space
    std::string section;   // the section's name; for a key line the section it belongs to ("" before any)
    std::string key;
    std::string value;
};

class IniFile {
public:
    // Replaces the entries with the file's. A missing file is created empty. False when the file can
    // be neither read nor created (why in `failure`); the entries are then empty.
    bool load(const std::string& path, FileFailure* failure = nullptr);
    // Writes a temporary file beside `path` and renames it over `path`, so that a failed save leaves the
    // old file as it was. False when the file could not be written.
    // A new file is readable by its owner only (it holds phone numbers); an existing one keeps its
    // mode; a symbolic link keeps pointing at the file it names, which gets the new contents.
    bool save(const std::string& path, FileFailure* failure = nullptr) const;

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

    // The whole file as save writes it.
    std::string text() const;

private:
    void parse(std::string_view bytes);

    std::vector<IniEntry> entries_;
    std::string trailingComment_;
};

}  // namespace movira
