// What the GPS reader thread writes and the display reads: the parser with the fix,
// the satellites and the track log. Always reached under AppCore's model lock.
#pragma once

#include "core/NmeaParser.h"

namespace movira {

struct Model {
    explicit Model(const Clock& clock) : parser(clock) {}
    NmeaParser parser;
};

}  // namespace movira
