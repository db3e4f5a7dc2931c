#pragma once

#include <cmath>
#include <limits>

namespace veltrane
{
/** Factor a running peak loses per hop (or block) so the meters fall back. */
constexpr float peakDecay = 0.99112f;

/** Raises a running peak (linear, 1 = full scale) by one sample. Values that are not finite
    are passed over: NaN says nothing, and an infinity would pin the meter for good. */
inline void raisePeak (float& peak, float v) noexcept
{
    const float a = std::fabs (v);
    peak = a > peak && a <= std::numeric_limits<float>::max() ? a : peak;
}
} // namespace veltrane
