#include "core/UiText.h"

#include "platform/Locale.h"

namespace movira {
namespace {

UiText::Language languageOfThisRun() {
    // Decided once; a locale changed later in the run changes nothing.
    static const UiText::Language language = UiText::languageOfLocale(Locale::userLocaleName());
    return language;
}

}  // namespace

UiText::UiText() : UiText(languageOfThisRun()) {}

UiText::Language UiText::languageOfLocale(const std::string& localeName) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (localeName.size() >= 2 && lower(localeName[0]) == 'r' && lower(localeName[1]) == 'u') {
        return Language::Russian;
    }
    return Language::English;
}

}  // namespace movira
