// The marker for a value that is absent, compared exactly by every reader.
#pragma once

#include <cstdint>

namespace movira {

inline constexpr float NoValue = -9999.0f;
inline constexpr int32_t NoValueInt = -9999;

}  // namespace movira
