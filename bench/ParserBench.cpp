// Speed of the GPS input path: the receiver's bytes cut into sentences and parsed, as the
// reader thread does it (reads of up to 2048 bytes into the SentenceCutter), and the
// per-fix fan-out of AppCore::onSentence.
#include "core/AppCore.h"
#include "core/NmeaParser.h"
#include "core/SentenceCutter.h"
#include "platform/PlatformServices.h"
#include "platform/ScreenKeeper.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace movira {
namespace {

// A zone with summer time, given by rule so that no zone file is needed: every RMC with
// its own time goes through the C library's local-time conversion, as on a device.
[[maybe_unused]] const bool kZoneSet = [] {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    return true;
}();

// Reads of up to 2048 bytes, as many as the cutter has room for; returns the sentences cut.
template <class OnSentence>
size_t cutAll(SentenceCutter& cutter, std::string_view bytes, OnSentence&& onSentence) {
    size_t sentences = 0;
    while (!bytes.empty()) {
        const size_t count = std::min(cutter.freeCapacity(), bytes.size());
        std::memcpy(cutter.freeSpace(), bytes.data(), count);
        bytes.remove_prefix(count);
        cutter.cut(count, [&](SentenceCutter::Sentence sentence) {
            ++sentences;
            onSentence(sentence);
        });
    }
    return sentences;
}

void setRates(benchmark::State& state, size_t sentencesPerIteration, size_t bytesPerIteration) {
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["sentences/s"] = benchmark::Counter(
        static_cast<double>(sentencesPerIteration) * iterations, benchmark::Counter::kIsRate);
    state.counters["bytes/s"] = benchmark::Counter(static_cast<double>(bytesPerIteration) * iterations,
                                                   benchmark::Counter::kIsRate, benchmark::Counter::kIs1024);
}

// ---- Logs of real receivers ---------------------------------------------------------------

// The log as its receiver sent it: comment lines dropped, every line ended by CR LF.
std::string receiverStream(const std::string& name) {
    std::ifstream file(std::string(MOVIRA_NMEA_LOG_DIR) + "/" + name + ".log", std::ios::binary);
    std::string stream;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        stream += line + "\r\n";
    }
    return stream;
}

void BM_ReplayLog(benchmark::State& state, const std::string& name) {
    const std::string stream = receiverStream(name);
    if (stream.empty()) {
        state.SkipWithError(("no log " + name).c_str());
        return;
    }
    test::FakeClock clock;
    // One parser for the whole run, as on a device: a parser's first point costs a fresh
    // chunk of track log, which is not what a sentence costs. Renewed now and then, rarely
    // enough not to count, so that the track log stays small.
    auto parser = std::make_unique<NmeaParser>(clock);
    SentenceCutter cutter;
    size_t sentences = 0;
    for (auto _ : state) {
        if (parser->trackPointCount() > 100'000) parser = std::make_unique<NmeaParser>(clock);
        sentences = cutAll(cutter, stream, [&](SentenceCutter::Sentence s) { parser->parseSentenceInPlace(s.text, s.size); });
        benchmark::DoNotOptimize(parser->fix());
    }
    setRates(state, sentences, stream.size());
}

// ---- A million RMC sentences ---------------------------------------------------------------

constexpr size_t kRmcCount = 1'000'000;

// "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A" and its like: one
// second apart, moving slowly, speed and course changing, so that every fix is distinct.
std::string rmcSentence(size_t i) {
    const size_t second = 12 * 3600 + 35 * 60 + 19 + i;
    const size_t day = 23 + second / 86400;  // a million seconds stay within March 1994
    const double latitude = 4807.038 + static_cast<double>(i % 100000) * 0.0001;
    const double longitude = 1131.000 + static_cast<double>(i % 70000) * 0.0002;
    const double knots = static_cast<double>(i % 1200) * 0.1;
    const double course = static_cast<double>(i % 3600) * 0.1;
    char body[96];
    std::snprintf(body, sizeof body,
                  "GPRMC,%02zu%02zu%02zu,A,%08.3f,N,%09.3f,E,%05.1f,%05.1f,%02zu0394,003.1,W",
                  second / 3600 % 24, second / 60 % 60, second % 60, latitude, longitude, knots, course, day);
    unsigned checksum = 0;
    for (const char* p = body; *p; ++p) checksum ^= static_cast<unsigned char>(*p);
    char sentence[112];
    std::snprintf(sentence, sizeof sentence, "$%s*%02X\r\n", body, checksum);
    return sentence;
}

const std::string& rmcStream() {
    static const std::string stream = [] {
        std::string s;
        s.reserve(kRmcCount * 72);
        for (size_t i = 0; i < kRmcCount; ++i) s += rmcSentence(i);
        return s;
    }();
    return stream;
}

// Cut and parsed with one parser: the track log takes a million points, as a long drive would.
void BM_RmcStream(benchmark::State& state) {
    const std::string& stream = rmcStream();
    test::FakeClock clock;
    size_t sentences = 0;
    for (auto _ : state) {
        auto parser = std::make_unique<NmeaParser>(clock);
        SentenceCutter cutter;
        sentences = cutAll(cutter, stream, [&](SentenceCutter::Sentence s) { parser->parseSentenceInPlace(s.text, s.size); });
        if (parser->trackPointCount() != kRmcCount) state.SkipWithError("a fix was not taken");
        state.PauseTiming();
        parser.reset();  // handing back 36 MB of track log is not the parser's cost
        state.ResumeTiming();
    }
    setRates(state, sentences, stream.size());
}

// The same, with a new parser every `range(0)` sentences: the track log stays small.
void BM_RmcStreamRecreated(benchmark::State& state) {
    const std::string& stream = rmcStream();
    const auto every = static_cast<size_t>(state.range(0));
    test::FakeClock clock;
    size_t sentences = 0;
    for (auto _ : state) {
        auto parser = std::make_unique<NmeaParser>(clock);
        SentenceCutter cutter;
        size_t sinceNew = 0;
        sentences = cutAll(cutter, stream, [&](SentenceCutter::Sentence s) {
            if (++sinceNew > every) {
                parser = std::make_unique<NmeaParser>(clock);
                sinceNew = 1;
            }
            parser->parseSentenceInPlace(s.text, s.size);
        });
    }
    setRates(state, sentences, stream.size());
}

// Where the time goes: the cutter alone, and the parser alone on sentences cut beforehand.
void BM_RmcCutOnly(benchmark::State& state) {
    const std::string& stream = rmcStream();
    size_t sentences = 0;
    for (auto _ : state) {
        SentenceCutter cutter;
        size_t length = 0;
        sentences = cutAll(cutter, stream, [&](std::string_view s) { length += s.size(); });
        benchmark::DoNotOptimize(length);
    }
    setRates(state, sentences, stream.size());
}

void BM_RmcParseOnly(benchmark::State& state) {
    std::vector<std::string> sentences;
    sentences.reserve(kRmcCount / 10);
    size_t bytes = 0;
    for (size_t i = 0; i < kRmcCount / 10; ++i) {
        std::string s = rmcSentence(i);
        s.resize(s.size() - 2);  // the cutter passes it without CR LF
        bytes += s.size() + 2;
        sentences.push_back(std::move(s));
    }
    test::FakeClock clock;
    for (auto _ : state) {
        auto parser = std::make_unique<NmeaParser>(clock);
        // Sentences that stay whole for the next pass: the parser works on its own copy.
        for (const auto& s : sentences) parser->parseSentence(s);
        benchmark::DoNotOptimize(parser->fix());
    }
    setRates(state, sentences.size(), bytes);
}

// ---- A multi-constellation receiver ---------------------------------------------------------

constexpr size_t kMixedSeconds = 100'000;

std::string sealed(const std::string& body) {
    unsigned checksum = 0;
    for (const char c : body) checksum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", checksum);
    return "$" + body + tail;
}

// Per second, as a u-blox M8/M9 sends it: GNRMC, GNGGA, GNGSA, GPGSV x3, GLGSV x2, GAGSV x2,
// GNVTG, GNGLL (13 sentences, one fix); times with decimals, positions and signals moving.
const std::string& mixedStream() {
    static const std::string stream = [] {
        std::string s;
        s.reserve(kMixedSeconds * 900);
        char buffer[160];
        const auto gsv = [&](const char* talker, int total, int number, int firstPrn, size_t i) {
            std::string body = std::string(talker) + "GSV," + std::to_string(total) + "," + std::to_string(number) + ",";
            body += std::to_string(total * 4);
            for (int k = 0; k < 4; ++k) {
                std::snprintf(buffer, sizeof buffer, ",%02d,%02zu,%03zu,%02zu", firstPrn + 4 * (number - 1) + k,
                              (10 + 7 * k + i / 60) % 90, (40 * k + i / 30) % 360, 20 + (i + k) % 30);
                body += buffer;
            }
            return sealed(body + ",1");
        };
        for (size_t i = 0; i < kMixedSeconds; ++i) {
            const size_t second = 12 * 3600 + i;
            char time[16];
            std::snprintf(time, sizeof time, "%02zu%02zu%02zu.00", second / 3600 % 24, second / 60 % 60, second % 60);
            const size_t day = 1 + second / 86400 % 28;
            const double latitude = 4807.038 + static_cast<double>(i % 100000) * 0.0001;
            const double longitude = 1131.000 + static_cast<double>(i % 70000) * 0.0002;
            const double knots = static_cast<double>(i % 1200) * 0.1;
            std::snprintf(buffer, sizeof buffer, "GNRMC,%s,A,%010.5f,N,%011.5f,E,%.3f,%.2f,%02zu0324,,,A,V", time,
                          latitude, longitude, knots, static_cast<double>(i % 3600) * 0.1, day);
            s += sealed(buffer);
            std::snprintf(buffer, sizeof buffer, "GNGGA,%s,%010.5f,N,%011.5f,E,1,12,0.91,%.1f,M,46.9,M,,", time,
                          latitude, longitude, 500.0 + static_cast<double>(i % 100));
            s += sealed(buffer);
            s += sealed("GNGSA,A,3,01,05,09,13,17,21,65,69,73,,,,1.56,0.91,1.27,1");
            for (int n = 1; n <= 3; ++n) s += gsv("GP", 3, n, 1, i);
            for (int n = 1; n <= 2; ++n) s += gsv("GL", 2, n, 65, i);
            for (int n = 1; n <= 2; ++n) s += gsv("GA", 2, n, 1, i);
            std::snprintf(buffer, sizeof buffer, "GNVTG,%.2f,T,,M,%.3f,N,%.3f,K,A", static_cast<double>(i % 3600) * 0.1,
                          knots, knots * 1.852);
            s += sealed(buffer);
            std::snprintf(buffer, sizeof buffer, "GNGLL,%010.5f,N,%011.5f,E,%s,A,A", latitude, longitude, time);
            s += sealed(buffer);
        }
        return s;
    }();
    return stream;
}

void BM_MixedConstellationStream(benchmark::State& state) {
    const std::string& stream = mixedStream();
    test::FakeClock clock;
    size_t sentences = 0, fixes = 0;
    for (auto _ : state) {
        auto parser = std::make_unique<NmeaParser>(clock);
        SentenceCutter cutter;
        fixes = 0;
        sentences = cutAll(cutter, stream, [&](SentenceCutter::Sentence s) {
            fixes += parser->parseSentenceInPlace(s.text, s.size) ? 1 : 0;
        });
        if (fixes != kMixedSeconds) state.SkipWithError("a fix was not taken");
        state.PauseTiming();
        parser.reset();
        state.ResumeTiming();
    }
    setRates(state, sentences, stream.size());
    state.counters["fixes/s"] = benchmark::Counter(static_cast<double>(fixes) * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

// ---- The per-fix fan-out ---------------------------------------------------------------------

// AppCore with a fake clock and battery, no screen service and an empty program folder (no GPS library),
// no window: onSentence takes the model lock, parses, then keeps the backlight and asks for
// a repaint that goes nowhere.
class FanOut {
public:
    FanOut() {
        std::string pattern = (std::filesystem::temp_directory_path() / "movira-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder_ = pattern;
        core_ = std::make_unique<AppCore>(PlatformServices{clock_, screen_, battery_, folder_});
    }
    ~FanOut() {
        core_.reset();
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
    AppCore& core() { return *core_; }

private:
    test::FakeClock clock_;
    NoScreenKeeper screen_;
    test::FakeBattery battery_;
    std::string folder_;
    std::unique_ptr<AppCore> core_;
};

std::vector<std::string> rmcSentences(size_t count) {
    std::vector<std::string> sentences;
    for (size_t i = 0; i < count; ++i) {
        std::string s = rmcSentence(i);
        s.resize(s.size() - 2);
        sentences.push_back(std::move(s));
    }
    return sentences;
}

// Every sentence a new fix: the track log grows by one point per sentence.
void BM_AppCoreOnSentence(benchmark::State& state) {
    const auto sentences = rmcSentences(kRmcCount);
    FanOut fanOut;
    size_t i = 0;
    for (auto _ : state) {
        fanOut.core().onSentence(sentences[i]);
        if (++i == sentences.size()) i = 0;
    }
    setRates(state, 1, 0);
    state.counters.erase("bytes/s");
}

// The same fix over and over: nothing is appended, what is left is lock, parse and fan-out.
void BM_AppCoreOnSentenceRepeated(benchmark::State& state) {
    const std::string sentence = rmcSentences(1).front();
    FanOut fanOut;
    for (auto _ : state) fanOut.core().onSentence(sentence);
    setRates(state, 1, 0);
    state.counters.erase("bytes/s");
}

[[maybe_unused]] const bool kRegistered = [] {
    for (const char* name :
         {"bu353s4", "garmin-10x", "bn-9015", "navika-100-fix", "haicom-305N", "telit-he910", "neo-m8n",
          "ublox-neo-m9n-nmea", "triton400", "iTrek", "holux-gm-210", "com-1289"}) {
        benchmark::RegisterBenchmark((std::string("BM_ReplayLog/") + name).c_str(), BM_ReplayLog,
                                     std::string(name));
    }
    benchmark::RegisterBenchmark("BM_RmcStream", BM_RmcStream)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_RmcStreamRecreated", BM_RmcStreamRecreated)
        ->Arg(100'000)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_RmcCutOnly", BM_RmcCutOnly)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_MixedConstellationStream", BM_MixedConstellationStream)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_RmcParseOnly", BM_RmcParseOnly)->Unit(benchmark::kMillisecond);
    // Bounded, so that the growing track log stays within a few hundred MB.
    benchmark::RegisterBenchmark("BM_AppCoreOnSentence", BM_AppCoreOnSentence)->Iterations(3'000'000);
    benchmark::RegisterBenchmark("BM_AppCoreOnSentenceRepeated", BM_AppCoreOnSentenceRepeated);
    return true;
}();

}  // namespace
}  // namespace movira
