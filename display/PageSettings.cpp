#include "display/PageSettings.h"

#include "core/Utf8.h"
#include "settings/IniFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace movira {

std::optional<int> PageSettings::readInt(const IniFile& ini, const char* key, const char* section) {
    const std::string text = ini.getValue(key, section);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || errno == ERANGE || value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

void PageSettings::readFontSize(const IniFile& ini, const char* key, const char* section, int& size) {
    const std::optional<int> value = readInt(ini, key, section);
    if (value && *value >= 1 && *value <= MaxFontSize) size = *value;
}

void PageSettings::readFace(const IniFile& ini, const char* key, const char* section, std::string& face) {
    std::string text = ini.getValue(key, section);
    if (text.empty()) return;
    if (text.size() > MaxFaceBytes) {
        size_t cut = MaxFaceBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    // Bytes that are not UTF-8 name no font, and a cut that leaves nothing names none: the
    // face in force stays rather than turning into garbage or the empty name.
    if (text.empty() || Utf8::fromWide(Utf8::toWide(text)) != text) return;
    face = std::move(text);
}

}  // namespace movira
