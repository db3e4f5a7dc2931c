#pragma once

#include <cmath>

namespace tonalith
{
/** Wraps a phase difference into -pi..pi by whole turns, one subtraction or addition at a
    time as the kernels specify. A value that is not finite counts as no difference, and a
    huge one is reduced first, so the loops always end after a few steps. */
inline float wrapPhase (float d, float pi, float twoPi) noexcept
{
    if (! std::isfinite (d))
        return 0.0f;
    if (std::fabs (d) > 64.0f * pi)
        d = std::remainder (d, twoPi);
    while (d > pi)
        d -= twoPi;
    while (d < -pi)
        d += twoPi;
    return d;
}
} // namespace tonalith
