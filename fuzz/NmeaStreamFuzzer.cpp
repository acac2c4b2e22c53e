// Feeds arbitrary bytes as a receiver's stream: through the sentence cutter, in reads of a
// size that the input's first byte chooses, into the parser. Stops at the first broken
// invariant, so that libFuzzer keeps the input.
#include "core/NmeaParser.h"
#include "core/SentenceCutter.h"
#include "fuzz/ParserInvariants.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

using namespace movira;
using fuzz::checkParser;
using fuzz::fixedClock;
using fuzz::require;

// Reads of 1..128 bytes, or 16..2048 in steps of 16: small ones split every sentence, large
// ones fill the buffer the way a busy port does.
size_t readSize(uint8_t selector) {
    return selector < 128 ? size_t{selector} + 1 : size_t{selector - 127u} * 16;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t chunk = readSize(data[0]);
    std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    NmeaParser parser(fixedClock());
    SentenceCutter cutter;
    size_t trackPoints = 0;
    const auto onSentence = [&](SentenceCutter::Sentence cut) {
        const std::string_view sentence = cut;
        require(!sentence.empty() && sentence.front() == '$', "sentence does not start with $");
        require(sentence.find('\r') == std::string_view::npos, "sentence holds a carriage return");
        require(sentence.data()[sentence.size()] == '\0', "sentence not zero-terminated");
        // As the reader does: cut into fields where it lies in the cutter's buffer.
        parser.parseSentenceInPlace(cut.text, cut.size);
        checkParser(parser, trackPoints);
    };
    while (!stream.empty()) {
        // A carry that fills the buffer would leave no room for the next read: the reader stalls.
        require(cutter.carry() < SentenceCutter::BufferSize, "carry fills the buffer");
        const size_t count = std::min({chunk, cutter.freeCapacity(), stream.size()});
        std::memcpy(cutter.freeSpace(), stream.data(), count);
        stream.remove_prefix(count);
        cutter.cut(count, onSentence);
    }
    require(cutter.carry() < SentenceCutter::BufferSize, "carry fills the buffer");
    checkParser(parser, trackPoints);
    return 0;
}
