// Keeps the screen lit while fixes arrive and "AlwaysOn" is set: takes one request,
// holds it, and gives it back when the flag is cleared or the program ends.
// Called on the GPS reader thread per fix, and at teardown once the reader has stopped.
#pragma once

#include "platform/ScreenKeeper.h"

#include <cstdint>
#include <optional>

namespace movira {

class BacklightKeeper {
public:
    explicit BacklightKeeper(ScreenKeeper& screen) : screen_(screen) {}

    void onFix(bool alwaysOn);
    // Gives the request back; a refused release keeps it held for the next try.
    void release();
    bool isHeld() const { return request_.has_value(); }

private:
    ScreenKeeper& screen_;
    std::optional<uint32_t> request_;
};

}  // namespace movira
