#pragma once

#include <cstdint>
#include <cstring>

namespace veltrane_test
{
/** Distance in units in the last place, counting across zero (-0 and +0 are 0 apart). */
inline std::int64_t ulpDistance (float a, float b)
{
    auto ordered = [] (float f) {
        std::int32_t i;
        std::memcpy (&i, &f, sizeof i);
        return i < 0 ? (std::int64_t) INT32_MIN - i : (std::int64_t) i;
    };
    const std::int64_t d = ordered (a) - ordered (b);
    return d < 0 ? -d : d;
}
} // namespace veltrane_test
