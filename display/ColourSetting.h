// How a page keeps a colour in its settings section: the 0x00BBGGRR value as a signed
// decimal integer ("%i"; white is 16777215).
#pragma once

#include "display/Geometry.h"

#include <string>

namespace movira {

class ColourSetting {
public:
    static std::string toText(Colour colour);
    // Leading decimal digits with an optional sign, as atoi reads them: text that does not
    // start with a number gives 0 (black). Empty text keeps `fallback`.
    static Colour fromText(const std::string& text, Colour fallback);
};

}  // namespace movira
