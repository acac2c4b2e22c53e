// The reporter with the fake SMS library: what goes out, to whom, when the timer sends, and
// that no caller waits for a send that hangs.
#include "sms/SmsReporter.h"

#include "core/NmeaParser.h"
#include "tests/sms/FakeParvox.h"
#include "tests/support/Eventually.h"
#include "tests/support/FakeClock.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <mutex>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace movira {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::FakeParvox;

const std::string kFakeFolder = MOVIRA_FAKE_PARVOX_DIR;

SystemTime at(int hour, int minute, int second) {
    return {2025, 6, 0, 1, static_cast<uint16_t>(hour), static_cast<uint16_t>(minute), static_cast<uint16_t>(second), 0};
}

GpsFix fixAt(SystemTime time, float latitude = 55.5f, float longitude = 37.5f) {
    GpsFix fix;
    fix.localTime = time;
    fix.latitude = latitude;
    fix.longitude = longitude;
    return fix;
}

// What is said on standard error while it lives. Read it once the reporter has stopped or every
// send has returned (the reporter writes under its lock).
class SaidOnStandardError {
public:
    SaidOnStandardError() : old_(std::cerr.rdbuf(buffer_.rdbuf())) {}
    ~SaidOnStandardError() { std::cerr.rdbuf(old_); }
    std::vector<std::string> lines() const {
        std::vector<std::string> lines;
        std::istringstream in(buffer_.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    std::ostringstream buffer_;
    std::streambuf* old_;
};

// The line said for the message to `number` of the fix at `time` ("2025-06-01 12:01:00").
std::string notSent(const std::string& number, const std::string& time, const std::string& why) {
    return "Movira: the SMS to \"" + number + "\" of " + time + " " + why;
}
const std::string kRefused = "was not sent: the modem did not take it";
const std::string kTooMany = "was not sent: too many messages were waiting for the modem";
const std::string kNotItsTurn = "was not sent: the program closed before its turn";
const std::string kUnderWay = "may not have been sent: the program closed while the modem was still sending it";

// Seconds since 12:00:00 as a clock time of the same day.
SystemTime second(int s) { return at(12 + s / 3600, s / 60 % 60, s % 60); }

class SmsSending : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fake.ok()) << "build fake_parvox"; }
    // A reporter bound to the fake, whose current fix is `current`.
    std::unique_ptr<SmsReporter> makeReporter(std::chrono::milliseconds stopWait = SmsReporter::DefaultStopWait) {
        auto reporter = std::make_unique<SmsReporter>(
            kFakeFolder, [this] { return current.load(); }, SmsReporter::LibraryName, stopWait);
        EXPECT_TRUE(reporter->isAvailable());
        return reporter;
    }
    // Ticks once a second from second `from` to second `to` (inclusive), the position moving.
    void drive(SmsReporter& reporter, int from, int to) {
        for (int s = from; s <= to; ++s) reporter.tick(fixAt(second(s), 55.0f + static_cast<float>(s) * 1e-4f));
    }
    std::vector<std::string> sentTexts(SmsReporter& reporter) {
        EXPECT_TRUE(reporter.waitUntilSent(10s));
        return fake.texts();
    }

    // What the fix source gives; set before the reporter asks.
    struct CurrentFix {
        GpsFix load() const {
            std::lock_guard lock(mutex);
            return fix;
        }
        mutable std::mutex mutex;
        GpsFix fix = fixAt(at(9, 5, 3));
    };

    FakeParvox fake{kFakeFolder};
    CurrentFix current;
};

TEST_F(SmsSending, TheCommandSendsTheCurrentFixToEveryAddressInOrder) {
    auto reporter = makeReporter();
    reporter->setSettings(false, false, 0, std::string_view("+79001112233,112"),
                          std::string_view("at %Time%: %Latitude%, %Longitude% %GoogleMaps%"));
    reporter->sendNow();
    ASSERT_TRUE(reporter->waitUntilSent(10s));
    const std::string text = "at 9:5:3: 55.500000, 37.500000 http://maps.google.com/m/local?q=55.500000,37.500000";
    EXPECT_EQ(fake.calls(), (std::vector<FakeParvox::Call>{{"+79001112233", text}, {"112", text}}));
}

TEST_F(SmsSending, AnEmptyAddressValueSendsOneMessageToAnEmptyAddress) {
    auto reporter = makeReporter();
    reporter->setSettings(false, false, 0, std::string_view(""), std::string_view("hello"));
    reporter->sendNow();
    ASSERT_TRUE(reporter->waitUntilSent(10s));
    EXPECT_EQ(fake.calls(), (std::vector<FakeParvox::Call>{{"", "hello"}}));
}

TEST_F(SmsSending, BeforeAnySettingsThereIsNoAddressAndNothingIsSent) {
    auto reporter = makeReporter();
    reporter->sendNow();
    ASSERT_TRUE(reporter->waitUntilSent(10s));
    EXPECT_EQ(fake.entered(), 0);
}

TEST_F(SmsSending, ARunawayMessageIsCut) {
    auto reporter = makeReporter();
    std::string text;
    for (int i = 0; i < 120; ++i) text += "%Latitude%";  // 120 x 9 characters
    reporter->setSettings(false, false, 0, std::string_view("1"), std::string_view(text));
    reporter->sendNow();
    const auto texts = sentTexts(*reporter);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].size(), SmsReporter::MaxMessageBytes);
    EXPECT_EQ(texts[0].substr(0, 18), "55.50000055.500000");
}

TEST_F(SmsSending, AFailedSendIsNotRetried) {
    fake.setResult(0);
    auto reporter = makeReporter();
    reporter->setSettings(false, false, 0, std::string_view("1,2"), std::string_view("x"));
    reporter->sendNow();
    ASSERT_TRUE(reporter->waitUntilSent(10s));
    EXPECT_EQ(fake.entered(), 2);
}

TEST_F(SmsSending, TheTimerIsOffWithoutSendOrWithoutAnInterval) {
    struct Case {
        bool send;
        int interval;
    };
    for (const Case c : {Case{false, 5}, Case{false, 1}, Case{true, 0}, Case{true, -3}}) {
        FakeParvox fresh(kFakeFolder);
        auto reporter = makeReporter();
        reporter->setSettings(c.send, false, c.interval, std::string_view("1"), std::string_view("%Time%"));
        drive(*reporter, 0, 20 * 60);
        EXPECT_TRUE(sentTexts(*reporter).empty()) << c.send << " " << c.interval;
        // The command still sends.
        reporter->sendNow();
        EXPECT_EQ(sentTexts(*reporter), std::vector<std::string>{"9:5:3"}) << c.send << " " << c.interval;
    }
}

TEST_F(SmsSending, TheTimerSendsEveryIntervalCountedFromItsFirstFix) {
    struct Case {
        int interval, start, end;
        std::vector<std::string> times;
    };
    const Case cases[] = {
        {5, 0, 11 * 60, {"12:5:0", "12:10:0"}},
        {5, 30, 11 * 60, {"12:5:30", "12:10:30"}},
        {1, 0, 3 * 60 + 59, {"12:1:0", "12:2:0", "12:3:0"}},
        {60, 0, 60 * 60 - 1, {}},
        {60, 0, 60 * 60, {"13:0:0"}},
    };
    for (const Case& c : cases) {
        FakeParvox fresh(kFakeFolder);
        auto reporter = makeReporter();
        reporter->setSettings(true, false, c.interval, std::string_view("1"), std::string_view("%Time%"));
        drive(*reporter, c.start, c.end);
        EXPECT_EQ(sentTexts(*reporter), c.times) << c.interval << " from " << c.start;
    }
}

TEST_F(SmsSending, TheTimerCountsWholeMinutesAcrossGapsInTheFixes) {
    auto reporter = makeReporter();
    reporter->setSettings(true, false, 2, std::string_view("1"), std::string_view("%Time%"));
    // Fixes at 12:00:00, 12:01:59 (1 whole minute), 12:02:01 (2), 12:30:00 (27 since 12:02:01).
    for (const SystemTime& t : {at(12, 0, 0), at(12, 1, 59), at(12, 2, 1), at(12, 30, 0)}) reporter->tick(fixAt(t));
    EXPECT_EQ(sentTexts(*reporter), (std::vector<std::string>{"12:2:1", "12:30:0"}));
}

TEST_F(SmsSending, AFixWithoutAUsableTimeLeavesTheTimerAlone) {
    auto reporter = makeReporter();
    reporter->setSettings(true, false, 1, std::string_view("1"), std::string_view("%Time%"));
    reporter->tick(fixAt(SystemTime{}));  // no time yet: does not start the timer
    reporter->tick(fixAt(at(12, 0, 0)));
    reporter->tick(fixAt(SystemTime{}));
    reporter->tick(fixAt(at(12, 1, 0)));
    EXPECT_EQ(sentTexts(*reporter), std::vector<std::string>{"12:1:0"});
}

TEST_F(SmsSending, SendIfChangedHoldsTheMessageBackWhileStanding) {
    for (const bool ifChanged : {true, false}) {
        FakeParvox fresh(kFakeFolder);
        auto reporter = makeReporter();
        reporter->setSettings(true, ifChanged, 1, std::string_view("1"), std::string_view("%Time%"));
        drive(*reporter, 0, 59);
        // Standing from 12:01:00 to 12:03:59, where the last moving fix left off.
        for (int s = 60; s < 240; ++s) reporter->tick(fixAt(second(s), 55.0f + 59 * 1e-4f));
        drive(*reporter, 240, 5 * 60 + 30);
        const std::vector<std::string> expected =
            ifChanged ? std::vector<std::string>{"12:4:0", "12:5:0"}
                      : std::vector<std::string>{"12:1:0", "12:2:0", "12:3:0", "12:4:0", "12:5:0"};
        EXPECT_EQ(sentTexts(*reporter), expected) << ifChanged;
    }
}

TEST_F(SmsSending, SendIfChangedComparesWithTheFixJustBeforeEvenWithoutAPosition) {
    auto reporter = makeReporter();
    reporter->setSettings(true, true, 1, std::string_view("1"), std::string_view("%Time% %GoogleMaps%"));
    reporter->tick(fixAt(at(12, 0, 0), NoValue, NoValue));
    reporter->tick(fixAt(at(12, 1, 0), NoValue, NoValue));  // no position then, none now: held back
    reporter->tick(fixAt(at(12, 1, 1), 1.0f, 2.0f));        // the position came back
    EXPECT_EQ(sentTexts(*reporter),
              std::vector<std::string>{"12:1:1 http://maps.google.com/m/local?q=1.000000,2.000000"});
}

// The demo drive, replayed through the parser: one fix a second from 08:00:00 to 08:16:46 UTC.
class SmsOnTheDemoDrive : public SmsSending {
protected:
    void SetUp() override {
        SmsSending::SetUp();
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    // Ticks the reporter with every fix of the drive; the fixes are kept for the expectations.
    std::vector<GpsFix> replay(SmsReporter& reporter) {
        test::FakeClock clock;
        NmeaParser parser(clock);
        std::vector<GpsFix> fixes;
        std::ifstream log(MOVIRA_SOURCE_DIR "/data/demo/demo-drive.nmea", std::ios::binary);
        for (std::string line; std::getline(log, line);) {
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
            if (line.empty() || line[0] != '$' || !parser.parseSentence(line)) continue;
            fixes.push_back(parser.fix());
            reporter.tick(parser.fix());
        }
        return fixes;
    }
    static std::string text(const char* pattern, const GpsFix& fix) {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, pattern, fix.localTime.hour, fix.localTime.minute, fix.localTime.second,
                      static_cast<double>(fix.latitude), static_cast<double>(fix.longitude));
        return buffer;
    }
};

TEST_F(SmsOnTheDemoDrive, EveryMinuteAMessageWithTheFixOfThatMoment) {
    auto reporter = makeReporter();
    reporter->setSettings(true, false, 1, std::string_view("+79001112233"),
                          std::string_view("%Time% %Latitude% %Longitude%"));
    const std::vector<GpsFix> fixes = replay(*reporter);
    ASSERT_EQ(fixes.size(), 1007u);
    std::vector<std::string> expected;
    for (const GpsFix& fix : fixes) {
        // The timer starts at 08:00:00: a message on every whole minute after it.
        if (fix.localTime.second == 0 && fix.localTime.minute > 0) expected.push_back(text("%d:%d:%d %f %f", fix));
    }
    ASSERT_EQ(expected.size(), 16u);
    EXPECT_EQ(expected.front().substr(0, 6), "8:1:0 ");
    EXPECT_EQ(sentTexts(*reporter), expected);
}

TEST_F(SmsOnTheDemoDrive, SendIfChangedSendsOnlyFromAMovingFixAtLeastAnIntervalApart) {
    auto reporter = makeReporter();
    reporter->setSettings(true, true, 1, std::string_view("1"), std::string_view("%Time%"));
    const std::vector<GpsFix> fixes = replay(*reporter);
    const auto texts = sentTexts(*reporter);
    // Walk the drive: after each message (or the start) the next one is due a minute later, and
    // goes out at the first fix from then on whose position differs from the fix before it.
    std::vector<std::string> expected;
    int64_t reference = *fixes.front().localTime.toFileTime();
    for (size_t i = 1; i < fixes.size(); ++i) {
        const int64_t now = *fixes[i].localTime.toFileTime();
        const bool moved =
            fixes[i].latitude != fixes[i - 1].latitude || fixes[i].longitude != fixes[i - 1].longitude;
        if (now - reference >= 60 * kFileTimeUnitsPerSecond && moved) {
            expected.push_back(text("%d:%d:%d", fixes[i]));
            reference = now;
        }
    }
    EXPECT_EQ(texts, expected);
    // The drive has stops: somewhere a message was held back past its minute.
    bool heldBack = false;
    for (const std::string& t : texts) heldBack = heldBack || t.substr(t.rfind(':')) != ":0";
    EXPECT_TRUE(heldBack);
}

// No caller waits for the library.

TEST_F(SmsSending, NeitherTheTimerNorTheCommandWaitsForAHangingSend) {
    fake.hold(true);
    auto reporter = makeReporter();
    reporter->setSettings(true, false, 1, std::string_view("1"), std::string_view("%Time%"));
    reporter->sendNow();
    ASSERT_TRUE(eventually([&] { return fake.entered() == 1; }));
    // The reader goes on: ten minutes of fixes, ten messages queued behind the hanging one.
    drive(*reporter, 0, 10 * 60);
    reporter->sendNow();
    EXPECT_EQ(fake.entered(), 1);
    EXPECT_FALSE(reporter->waitUntilSent(0ms));
    fake.hold(false);
    const auto texts = sentTexts(*reporter);
    ASSERT_EQ(texts.size(), 12u);
    EXPECT_EQ(texts[1], "12:1:0");
    EXPECT_EQ(texts[10], "12:10:0");
    EXPECT_EQ(texts[11], "9:5:3");
}

TEST_F(SmsSending, WhileTheModemHangsOnlyTheNewestMessagesWait) {
    fake.hold(true);
    auto reporter = makeReporter();
    reporter->setSettings(true, false, 1, std::string_view("1"), std::string_view("%Time%"));
    drive(*reporter, 0, 60);  // the 12:01:00 message hangs in the library
    ASSERT_TRUE(eventually([&] { return fake.entered() == 1; }));
    drive(*reporter, 61, 40 * 60);  // 39 more, of which the last 16 are kept
    fake.hold(false);
    const auto texts = sentTexts(*reporter);
    ASSERT_EQ(texts.size(), 1 + SmsReporter::MaxPendingMessages);
    EXPECT_EQ(texts.front(), "12:1:0");
    EXPECT_EQ(texts[1], "12:25:0");
    EXPECT_EQ(texts.back(), "12:40:0");
}

TEST_F(SmsSending, StopHandsOverWhatIsQueued) {
    auto reporter = makeReporter();
    reporter->setSettings(false, false, 0, std::string_view("1,2"), std::string_view("%Time%"));
    for (int i = 0; i < 5; ++i) reporter->sendNow();
    reporter->stop();
    EXPECT_EQ(fake.entered(), 10);
    reporter->sendNow();  // after the stop nothing more goes out
    reporter.reset();
    EXPECT_EQ(fake.entered(), 10);
}

// No message goes silently: each one that does not go out is said with its number and time.

TEST_F(SmsSending, AMessageTheLibraryRefusesIsSaid) {
    fake.setResult(0);
    SaidOnStandardError said;
    auto reporter = makeReporter();
    reporter->setSettings(false, false, 0, std::string_view("+79001112233,"), std::string_view("x"));
    reporter->sendNow();
    ASSERT_TRUE(reporter->waitUntilSent(10s));
    const std::string time = "2025-06-01 09:05:03";
    EXPECT_EQ(said.lines(), (std::vector<std::string>{notSent("+79001112233", time, kRefused),
                                                      notSent("", time, kRefused)}));
}

TEST_F(SmsSending, MessagesDroppedWhileTheModemHangsAreSaid) {
    fake.hold(true);
    SaidOnStandardError said;
    auto reporter = makeReporter();
    reporter->setSettings(true, false, 1, std::string_view("1"), std::string_view("%Time%"));
    drive(*reporter, 0, 60);
    ASSERT_TRUE(eventually([&] { return fake.entered() == 1; }));
    drive(*reporter, 61, 20 * 60);  // 19 more wait, of which the oldest 3 are dropped
    fake.hold(false);
    ASSERT_TRUE(reporter->waitUntilSent(10s));
    EXPECT_EQ(said.lines(), (std::vector<std::string>{notSent("1", "2025-06-01 12:02:00", kTooMany),
                                                      notSent("1", "2025-06-01 12:03:00", kTooMany),
                                                      notSent("1", "2025-06-01 12:04:00", kTooMany)}));
}

TEST_F(SmsSending, WhatTheStopGivesUpOnIsSaid) {
    fake.hold(true);
    SaidOnStandardError said;
    auto reporter = makeReporter(50ms);
    reporter->setSettings(false, false, 0, std::string_view("1,2"), std::string_view("%Time%"));
    reporter->sendNow();  // its first message hangs in the library
    ASSERT_TRUE(eventually([&] { return fake.entered() == 1; }));
    current.fix.localTime = at(9, 6, 0);
    reporter->sendNow();
    reporter.reset();
    const std::vector<std::string> lines = said.lines();
    fake.hold(false);  // the hanging send returns, and nothing more goes out or is said
    EXPECT_TRUE(eventually([&] { return fake.returned() == 1; }));
    EXPECT_EQ(fake.entered(), 1);
    EXPECT_EQ(lines, (std::vector<std::string>{notSent("1", "2025-06-01 09:05:03", kUnderWay),
                                               notSent("2", "2025-06-01 09:05:03", kNotItsTurn),
                                               notSent("1", "2025-06-01 09:06:00", kNotItsTurn),
                                               notSent("2", "2025-06-01 09:06:00", kNotItsTurn)}));
    EXPECT_EQ(said.lines(), lines);
}

TEST_F(SmsSending, AHangingSendHoldsUpTheStopOnlyForItsBound) {
    fake.hold(true);
    auto reporter = makeReporter(50ms);
    reporter->setSettings(false, false, 0, std::string_view("1"), std::string_view("%Time%"));
    reporter->sendNow();
    ASSERT_TRUE(eventually([&] { return fake.entered() == 1; }));
    reporter->sendNow();  // queued behind it: dropped by the stop
    reporter.reset();     // returns although the send still hangs
    EXPECT_EQ(fake.returned(), 0);
    // The send returns later into a library that is still loaded, and its thread ends.
    fake.hold(false);
    EXPECT_TRUE(eventually([&] { return fake.returned() == 1; }));
    EXPECT_EQ(fake.entered(), 1);
}

}  // namespace
}  // namespace movira
