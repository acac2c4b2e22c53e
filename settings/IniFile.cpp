#include "settings/IniFile.h"

#include "platform/DurableFile.h"

#include <algorithm>
#include <cerrno>
#include <new>

namespace movira {

namespace {

constexpr auto npos = std::string_view::npos;

std::string_view trim(std::string_view text) {
    constexpr std::string_view blanks = " \t\n\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

enum class LineKind { Key, Section, Other };

// Reads an active line as a key line (first = key, second = value) or a section line (first =
// name). A line with "=" is a key line unless it starts with "[": that one is neither (a "[" inside
// a key or value must not open a section, and "[Main] COMPort=x" is no key the program knows), so
// it is kept as it stands.
LineKind classify(std::string_view line, std::string_view& first, std::string_view& second) {
    if (line.empty()) return LineKind::Other;
    const auto equals = line.find('=');
    if (equals != npos) {
        if (line[0] == '[') return LineKind::Other;
        if (equals == 0) return LineKind::Other;  // an empty key would read back as a section line
        first = line.substr(0, equals);
        second = line.substr(equals + 1);
        return LineKind::Key;
    }
    const auto open = line.find('[');
    if (open == npos || line.find(']', open + 1) == npos) return LineKind::Other;
    first = line.substr(1, line.find(']', 1) - 1);
    return LineKind::Section;
}

// The next line of `bytes` without its end: a line feed, a carriage return and line feed, or a
// lone carriage return (old Mac files); the rest is left in `bytes`.
std::string_view nextLine(std::string_view& bytes) {
    const auto end = bytes.find_first_of("\r\n");
    const std::string_view line = bytes.substr(0, end);
    if (end == npos) {
        bytes = {};
    } else {
        const bool crlf = bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n';
        bytes.remove_prefix(end + (crlf ? 2 : 1));
    }
    return line;
}

auto isKey(std::string_view key, std::string_view section) {
    return [key, section](const IniEntry& entry) {
        return !entry.key.empty() && entry.key == key && entry.section == section;
    };
}

}  // namespace

bool IniFile::load(const std::string& path, FileFailure* failure) {
    entries_.clear();
    trailingComment_.clear();
    try {
        std::string bytes;
        auto result = DurableFile::read(path, bytes);
        // First start: an empty file shows the user where the settings go. A file that exists
        // but cannot be read is left alone: it is still the user's.
        if (result == DurableFile::ReadResult::Missing) {
            if (!save(path, failure)) return false;
            result = DurableFile::read(path, bytes);
        }
        if (result != DurableFile::ReadResult::Read) {
            if (failure) *failure = FileFailure{path, "it cannot be read, so it is left as it is"};
            return false;
        }
        parse(bytes);
        return true;
    } catch (const std::bad_alloc&) {
        // The file's size is not ours to choose.
        entries_.clear();
        trailingComment_.clear();
        return false;
    }
}

void IniFile::parse(std::string_view bytes) {
    std::string pending;  // comment and unreadable lines waiting for the next entry, as they stood
    std::string section;
    while (!bytes.empty()) {
        const std::string_view raw = nextLine(bytes);
        const std::string_view line = trim(raw);
        if (line.empty()) continue;
        // A comment is a comment whatever it holds: "; see [README]" opens no section.
        if (line[0] == '#' || line[0] == ';') {
            pending.append(raw).push_back('\n');
            continue;
        }
        std::string_view first;
        std::string_view second;
        const LineKind kind = classify(line, first, second);
        if (kind == LineKind::Other) {
            // Not ours to understand, but the user's: it travels like a comment and is written back.
            pending.append(raw).push_back('\n');
            continue;
        }
        IniEntry entry;
        if (kind == LineKind::Section) {
            section = first;
        } else {
            entry.key = first;
            entry.value = second;
        }
        entry.section = section;
        entry.comment = std::move(pending);
        pending.clear();
        entries_.push_back(std::move(entry));
    }
    trailingComment_ = std::move(pending);
}

bool IniFile::save(const std::string& path, FileFailure* failure) const {
    try {
        return DurableFile::replace(path, text(), DurableFile::PrivateMode, failure);
    } catch (const std::bad_alloc&) {
        if (failure) *failure = FileFailure::fromErrno(path, ENOMEM);
        return false;
    }
}

// Active lines start with a space, which the trimming of the next load removes again.
std::string IniFile::text() const {
    std::string text;
    for (const IniEntry& entry : entries_) {
        text += entry.comment;
        text += entry.marker;
        if (entry.key.empty()) {
            text.append("[").append(entry.section).append("]");
        } else {
            text.append(entry.key).append("=").append(entry.value);
        }
        text += '\n';
    }
    text += trailingComment_;
    return text;
}

std::string IniFile::getValue(std::string_view key, std::string_view section) const {
    const auto found = std::find_if(entries_.begin(), entries_.end(), isKey(key, section));
    return found == entries_.end() ? std::string() : found->value;
}

bool IniFile::setValue(std::string_view key, std::string_view value, std::string_view section) {
    if (key.empty()) return false;
    const auto found = std::find_if(entries_.begin(), entries_.end(), isKey(key, section));
    if (found != entries_.end()) {
        found->value = value;  // marker and comment stay
        return true;
    }
    IniEntry entry;
    entry.section = section;
    entry.key = key;
    entry.value = value;
    const auto first = std::find_if(entries_.begin(), entries_.end(),
                                    [section](const IniEntry& e) { return e.section == section; });
    if (first != entries_.end()) {
        entries_.insert(first + 1, std::move(entry));
        return true;
    }
    IniEntry header;
    header.section = section;
    entries_.push_back(std::move(header));
    entries_.push_back(std::move(entry));
    return true;
}

bool IniFile::hasSection(std::string_view section) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [section](const IniEntry& entry) { return entry.section == section; });
}

bool IniFile::hasKey(std::string_view key, std::string_view section) const {
    return std::any_of(entries_.begin(), entries_.end(), isKey(key, section));
}

}  // namespace movira
