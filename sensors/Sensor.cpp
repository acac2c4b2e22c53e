#include "sensors/Sensor.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace movira {

Sensor::Sensor(const UiText& uiText, std::wstring caption) : uiText_(uiText), caption_(std::move(caption)) {}

std::optional<int64_t> Sensor::fixTime(const GpsFix& fix) { return fix.localTime.toFileTime(); }

void Sensor::setText(const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vswprintf(text_, TextSize, format, arguments);
    va_end(arguments);
    if (written < 0) text_[TextSize - 1] = L'\0';  // cut, never unterminated
}

void Sensor::setDistanceText(float km) {
    if (km < 1.0f) {
        setText(L"%.0f %ls", static_cast<double>(km) * 1000.0, uiText_.metres());
    } else if (km < 10.0f) {
        setText(L"%.2f %ls", static_cast<double>(km), uiText_.kilometres());
    } else {
        setText(L"%.1f %ls", static_cast<double>(km), uiText_.kilometres());
    }
}

void Sensor::setSecondsText(double seconds) {
    const wchar_t* format = seconds < 10.0     ? L"%.3f %ls"
                            : seconds < 100.0  ? L"%.2f %ls"
                            : seconds < 1000.0 ? L"%.1f %ls"
                                               : L"%.0f %ls";
    setText(format, seconds, uiText_.seconds());
}

std::optional<std::pair<std::string, std::string>> Sensor::splitPair(const std::string& text) {
    const size_t separator = text.find(';');
    if (separator == std::string::npos) return std::nullopt;
    return std::make_pair(text.substr(0, separator), text.substr(separator + 1));
}

std::string Sensor::formatValue(const char* format, ...) {
    char buffer[256];
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return written < 0 ? std::string() : std::string(buffer);
}

}  // namespace movira
