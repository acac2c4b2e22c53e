// The shared texts of the user interface (sensor captions, units, status words) in
// English or Russian. The language is decided once per run from the user's locale;
// after that every thread may read the texts.
#pragma once

#include <string>

namespace movira {

class UiText {
public:
    enum class Language { English, Russian };

    // The language of this run, decided from the locale at the first call.
    UiText();
    explicit UiText(Language language) : russian_(language == Language::Russian) {}

    // "ru..." in any letter case is Russian; anything else, and no locale, English.
    static Language languageOfLocale(const std::string& localeName);

    bool isRussian() const { return russian_; }

    const wchar_t* charging() const { return pick(L"charging", L"заряжается"); }
    const wchar_t* batteryStatus() const { return pick(L"Battery status", L"Зарядка батареи"); }
    const wchar_t* speedChart() const { return pick(L"Speed chart", L"График скорости"); }
    const wchar_t* speed() const { return pick(L"Speed", L"Скорость"); }
    const wchar_t* speedometer() const { return pick(L"Speedometer", L"Спидометр"); }
    const wchar_t* satellites() const { return pick(L"Sattelites", L"Спутники"); }
    const wchar_t* azimuth() const { return pick(L"Azimuth", L"Азимут"); }
    const wchar_t* currentTime() const { return pick(L"Current time", L"Текущее время"); }
    const wchar_t* longitude() const { return pick(L"Longitude", L"Долгота"); }
    const wchar_t* latitude() const { return pick(L"Latitude", L"Широта"); }
    const wchar_t* satellitesUsed() const { return pick(L"Sattelites used", L"Количество спутников"); }
    const wchar_t* altitude() const { return pick(L"Altitude", L"Высота"); }
    const wchar_t* noSignal() const { return pick(L"No signal", L"Нет сигнала"); }
    const wchar_t* gpsStatus() const { return pick(L"GPS status", L"Статус GPS"); }
    const wchar_t* maxSpeed() const { return pick(L"Max speed", L"Максимальная скорость"); }
    const wchar_t* theFastest() const { return pick(L"The fastest", L"Самые быстрые"); }
    const wchar_t* days() const { return pick(L"days", L"дней"); }
    const wchar_t* averageSpeed() const { return pick(L"Average speed", L"Средняя скорость"); }
    const wchar_t* seconds() const { return pick(L"s", L"с"); }
    const wchar_t* kmPerHour() const { return pick(L"km/h", L"км/ч"); }
    const wchar_t* kilometres() const { return pick(L"km", L"км"); }
    const wchar_t* metres() const { return pick(L"m", L"м"); }
    const wchar_t* elapsed() const { return pick(L"Elapsed", L"Время в пути"); }
    const wchar_t* accel() const { return pick(L"Accel.", L"Разгон"); }
    const wchar_t* distance() const { return pick(L"Distance", L"Пройденный путь"); }
    const wchar_t* time() const { return pick(L"Time", L"Время"); }

private:
    const wchar_t* pick(const wchar_t* english, const wchar_t* russian) const { return russian_ ? russian : english; }

    bool russian_;
};

}  // namespace movira
