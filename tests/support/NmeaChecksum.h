// Test sentences written by hand: their "*hh" made right, so that a test is about its fields.
#pragma once

#include <cstdio>
#include <string>

namespace movira::test {

// The sentence with the checksum of its bytes between "$" and "*"; one without "*" unchanged.
inline std::string sealed(std::string sentence) {
    const size_t star = sentence.find('*');
    if (star == std::string::npos) return sentence;
    unsigned sum = 0;
    for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(sentence[i]);
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    return sentence.substr(0, star + 1) + digits;
}

}  // namespace movira::test
