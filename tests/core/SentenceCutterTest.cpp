#include "core/SentenceCutter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace movira {
namespace {

// Feeds the bytes in reads of at most `chunk` and collects what comes out.
std::vector<std::string> cutAll(SentenceCutter& cutter, const std::string& bytes, size_t chunk) {
    std::vector<std::string> sentences;
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = std::min({chunk, cutter.freeCapacity(), bytes.size() - at});
        bytes.copy(cutter.freeSpace(), n, at);
        at += n;
        cutter.cut(n, [&](std::string_view s) {
            EXPECT_EQ(s.data()[s.size()], '\0');  // terminated in place
            sentences.emplace_back(s);
        });
    }
    return sentences;
}

std::vector<std::string> cutAll(const std::string& bytes, size_t chunk = 2048) {
    SentenceCutter cutter;
    return cutAll(cutter, bytes, chunk);
}

using Sentences = std::vector<std::string>;

TEST(SentenceCutter, FramingRules) {
    struct Case {
        const char* name;
        std::string bytes;
        Sentences expected;
    };
    const Case cases[] = {
        {"cr lf", "$A,1\r\n$B,2\r\n", {"$A,1", "$B,2"}},
        {"bare cr", "$A,1\r$B,2\r", {"$A,1", "$B,2"}},
        {"bare lf does not end", "$A,1\n$B,2\r\n", {"$B,2"}},
        {"garbage before $", "xx\r\nyy$A,1\r\n", {"$A,1"}},
        {"second $ restarts", "$A,1$B,2\r\n", {"$B,2"}},
        {"cr without $", "\r\r\n\r", {}},
        {"unfinished at end", "$A,1\r\n$B,", {"$A,1"}},
        {"nul inside", std::string("$A,\0,1\r\n", 8), {std::string("$A,\0,1", 6)}},
        {"empty sentence", "$\r\n", {"$"}},
    };
    for (const auto& c : cases) {
        for (const size_t chunk : {size_t{1}, size_t{3}, size_t{2048}}) {
            EXPECT_EQ(cutAll(c.bytes, chunk), c.expected) << c.name << ", reads of " << chunk;
        }
    }
}

TEST(SentenceCutter, SentenceSplitAcrossReadsIsPassedOnceWhole) {
    const std::string rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    for (size_t split = 1; split < rmc.size(); ++split) {
        SentenceCutter cutter;
        Sentences got = cutAll(cutter, rmc.substr(0, split), 2048);
        const Sentences rest = cutAll(cutter, rmc.substr(split), 2048);
        got.insert(got.end(), rest.begin(), rest.end());
        ASSERT_EQ(got, Sentences{rmc.substr(0, rmc.size() - 2)}) << split;
    }
}

TEST(SentenceCutter, AnEndlessSentenceIsDroppedAndReadingGoesOn) {
    SentenceCutter cutter;
    const std::string endless = "$" + std::string(10000, 'x');
    EXPECT_TRUE(cutAll(cutter, endless, 2048).empty());
    EXPECT_LT(cutter.carry(), SentenceCutter::BufferSize);
    EXPECT_GT(cutter.freeCapacity(), 0u);
    EXPECT_EQ(cutAll(cutter, "\r\n$GPRMC,1\r\n", 2048), Sentences{"$GPRMC,1"});
}

TEST(SentenceCutter, ASentenceAlmostFillingTheBufferStillArrives) {
    SentenceCutter cutter;
    const std::string big = "$" + std::string(2040, 'y');
    EXPECT_EQ(cutAll(cutter, big + "\r", 1000), Sentences{big});
}

}  // namespace
}  // namespace movira
