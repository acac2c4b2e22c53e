#include "core/UiText.h"
#include "core/Utf8.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace movira {
namespace {

TEST(UiText, LanguageOfTheLocale) {
    struct Case {
        const char* locale;
        UiText::Language expected;
    };
    for (const Case& c : {Case{"ru_RU.UTF-8", UiText::Language::Russian}, Case{"RU", UiText::Language::Russian},
                          Case{"Ru_ua", UiText::Language::Russian}, Case{"uk_UA.UTF-8", UiText::Language::English},
                          Case{"be_BY", UiText::Language::English}, Case{"en_US", UiText::Language::English},
                          Case{"C", UiText::Language::English}, Case{"r", UiText::Language::English},
                          Case{"", UiText::Language::English}}) {
        EXPECT_EQ(UiText::languageOfLocale(c.locale), c.expected) << c.locale;
    }
}

TEST(UiText, TheLanguageOfARunDoesNotChange) {
    const bool first = UiText().isRussian();
    setenv("LANG", first ? "en_US.UTF-8" : "ru_RU.UTF-8", 1);
    setenv("LC_ALL", first ? "en_US.UTF-8" : "ru_RU.UTF-8", 1);
    EXPECT_EQ(UiText().isRussian(), first);
}

TEST(UiText, SharedTextsInBothLanguages) {
    const UiText english(UiText::Language::English);
    const UiText russian(UiText::Language::Russian);
    EXPECT_FALSE(english.isRussian());
    EXPECT_TRUE(russian.isRussian());
    EXPECT_STREQ(english.satellites(), L"Sattelites");
    EXPECT_STREQ(english.satellitesUsed(), L"Sattelites used");
    EXPECT_STREQ(russian.satellites(), L"Спутники");
    EXPECT_STREQ(english.kmPerHour(), L"km/h");
    EXPECT_STREQ(russian.kmPerHour(), L"км/ч");
    EXPECT_STREQ(russian.distance(), L"Пройденный путь");
    EXPECT_STREQ(english.time(), L"Time");
    EXPECT_STREQ(russian.time(), L"Время");
}

TEST(Utf8, RoundTripsAndRepairs) {
    const std::wstring text = L"Скорость 0-100 км/ч \u00B0 \U0001F697";
    EXPECT_EQ(Utf8::toWide(Utf8::fromWide(text)), text);
    EXPECT_EQ(Utf8::fromWide(L"Max speed"), "Max speed");
    EXPECT_EQ(Utf8::fromWide(L"\u00B0"), "\xC2\xB0");
    // Broken bytes never pass as text: each becomes one replacement character.
    EXPECT_EQ(Utf8::toWide("a\xFF" "b"), L"a\uFFFD" L"b");
    EXPECT_EQ(Utf8::toWide("\xC0\xAF"), L"\uFFFD\uFFFD");  // overlong "/"
    EXPECT_EQ(Utf8::toWide("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");  // a surrogate
    EXPECT_EQ(Utf8::toWide("\xE2\x82"), L"\uFFFD\uFFFD");  // cut short
    EXPECT_EQ(Utf8::fromWide(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace movira
