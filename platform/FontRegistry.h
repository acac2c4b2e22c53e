// Registers font files for this process under the face names the pages use ("LCD").
#pragma once

#include <string>

namespace movira {

class FontRegistry {
public:
    virtual ~FontRegistry() = default;
    // Registers the font file at `path` (UTF-8) as `face`; false, and nothing registered,
    // when the file is missing or holds no font.
    virtual bool add(const std::string& path, const std::string& face) = 0;
    // Withdraws every font added; harmless when there is none.
    virtual void removeAll() = 0;
};

}  // namespace movira
