#pragma once

#include <cstdint>

namespace revolva
{
/** trunc(x) kept in lo..hi; NaN gives lo. Restored parameters can hold any float, and the
    clocks and buffer indexes computed from them must stay in range. */
inline std::int64_t clampedTrunc (double x, std::int64_t lo, std::int64_t hi) noexcept
{
    if (! (x >= (double) lo))
        return lo;
    if (x >= (double) hi)
        return hi;
    return (std::int64_t) x;
}
} // namespace revolva
