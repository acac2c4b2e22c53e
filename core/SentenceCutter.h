// Cuts a receiver's byte stream into sentences, from "$" to the carriage return,
// keeping an unfinished sentence for the next read. Used by the GPS reader thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace movira {

class SentenceCutter {
public:
    static constexpr size_t BufferSize = 2048;

    // A sentence in the cutter's buffer, zero-terminated in place; the receiver of it may
    // write into it (the parser cuts it into fields there) until the next read.
    struct Sentence {
        char* text;
        size_t size;
        operator std::string_view() const { return {text, size}; }
    };

    // Where the next read puts its bytes, and how many fit.
    char* freeSpace() { return buffer_.data() + carry_; }
    size_t freeCapacity() const { return BufferSize - carry_; }
    size_t carry() const { return carry_; }
    void discard() { carry_ = 0; }

    // Takes `count` new bytes written at freeSpace(). Each complete sentence is passed, without
    // its carriage return, to onSentence(Sentence) (or to one taking a std::string_view).
    template <class OnSentence>
    void cut(size_t count, OnSentence&& onSentence);

private:
    std::array<char, BufferSize> buffer_;
    size_t carry_ = 0;
};

template <class OnSentence>
void SentenceCutter::cut(size_t count, OnSentence&& onSentence) {
    char* const data = buffer_.data();
    char* const end = data + carry_ + count;
    // A carried sentence starts at 0 and holds no carriage return, so the search for the
    // next one may begin at the new bytes; the "$" it starts with is found from there too.
    char* from = data;
    char* scan = data + carry_;
    carry_ = 0;
    while (char* cr = static_cast<char*>(std::memchr(scan, '\r', static_cast<size_t>(end - scan)))) {
        // Between the last carriage return and this one, the latest "$" starts the sentence:
        // an earlier "$" belongs to a sentence that never ended.
        if (char* start = static_cast<char*>(memrchr(from, '$', static_cast<size_t>(cr - from)))) {
            *cr = '\0';
            onSentence(Sentence{start, static_cast<size_t>(cr - start)});
        }
        from = scan = cr + 1;
    }
    char* start = static_cast<char*>(memrchr(from, '$', static_cast<size_t>(end - from)));
    if (!start) return;
    const auto rest = static_cast<size_t>(end - start);
    // An unfinished sentence that fills the whole buffer can never end: drop it, read on.
    if (rest >= BufferSize) return;
    std::memmove(data, start, rest);
    carry_ = rest;
}

}  // namespace movira
