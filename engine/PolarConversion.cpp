#include "PolarConversion.h"

#include "PhaseMath.h"
#include "VectorClones.h"

#include <cmath>

namespace veltrane
{
namespace
{
constexpr float largestFloat = 3.40282347e38f;

/** Magnitude and phase of bin k, stored at magnitude[k * S] and phase[k * S]. Returns non-zero
    when the fast formulas left the bin undefined (an infinite or NaN operand). */
template <int S>
VELTRANE_INLINE_IN_CLONES int binToPolar (float re, float im, int k, float* magnitude, float* phase) noexcept
{
    // Squares of floats are exact in double, so this is hypot rounded to float without its
    // slow overflow handling.
    const float m = (float) std::sqrt ((double) re * (double) re + (double) im * (double) im);
    const float ph = -atan2Rounded (im, re);
    magnitude[k * S] = m;
    phase[k * S] = ph;
    return (int) ! (m <= largestFloat) | (int) (ph != ph);
}

template <int S>
VELTRANE_INLINE_IN_CLONES void toPolar (const float* in, int n, float* magnitude, float* phase) noexcept
{
    const int half = n / 2;
    int unusual = binToPolar<S> (in[0], 0.0f, 0, magnitude, phase);
    for (int k = 1; k < half; ++k)
        unusual |= binToPolar<S> (in[k], in[n - k], k, magnitude, phase);
    unusual |= binToPolar<S> (in[half], 0.0f, half, magnitude, phase);
    if (unusual == 0)
        return;
    for (int k = 0; k <= half; ++k)
    {
        const float m = magnitude[k * S];
        if (! std::isnan (phase[k * S]) && m <= largestFloat)
            continue;
        const float re = in[k];
        const float im = (k == 0 || k == half) ? 0.0f : in[n - k];
        phase[k * S] = std::isnan (m) ? 0.0f : -std::atan2 (im, re);
    }
}

/** Cartesian value of one bin; counts a phase beyond the fast sine's range. */
VELTRANE_INLINE_IN_CLONES void binToCartesian (float m, float ph, float& re, float& im, int& outside) noexcept
{
    float sn, cs;
    sinCosRounded (ph, sn, cs);
    outside |= (int) ! (std::fabs (ph) <= sinCosRoundedLimit);
    const bool silent = m == 0.0f || m != m;
    re = silent ? 0.0f : m * cs;
    im = silent ? 0.0f : -(m * sn);
}

template <int S>
VELTRANE_INLINE_IN_CLONES void fromPolar (const float* magnitude, const float* phase, int n, float* out) noexcept
{
    const int half = n / 2;
    int outside = 0;
    float unused;
    binToCartesian (magnitude[0], phase[0], out[0], unused, outside);
    for (int k = 1; k < half; ++k)
        binToCartesian (magnitude[k * S], phase[k * S], out[k], out[n - k], outside);
    binToCartesian (magnitude[half * S], phase[half * S], out[half], unused, outside);
    if (outside == 0)
        return;
    // Huge or non-finite phases, which only hostile parameter values produce.
    for (int k = 0; k <= half; ++k)
    {
        const float m = magnitude[k * S];
        const float ph = phase[k * S];
        if (std::fabs (ph) <= sinCosRoundedLimit || m == 0.0f || std::isnan (m))
            continue;
        out[k] = m * (float) std::cos ((double) ph);
        if (k != 0 && k != half)
            out[n - k] = -(m * (float) std::sin ((double) ph));
    }
}
} // namespace

VELTRANE_VECTOR_CLONES void toPolarPairs (const float* halfcomplex, int n, float* pairs) noexcept
{
    toPolar<2> (halfcomplex, n, pairs, pairs + 1);
}

VELTRANE_VECTOR_CLONES void toPolarPlanes (const float* halfcomplex, int n, float* magnitude, float* phase) noexcept
{
    toPolar<1> (halfcomplex, n, magnitude, phase);
}

VELTRANE_VECTOR_CLONES void fromPolarPairs (const float* pairs, int n, float* halfcomplex) noexcept
{
    fromPolar<2> (pairs, pairs + 1, n, halfcomplex);
}

VELTRANE_VECTOR_CLONES void fromPolarPlanes (const float* magnitude, const float* phase, int n,
                                             float* halfcomplex) noexcept
{
    fromPolar<1> (magnitude, phase, n, halfcomplex);
}
} // namespace veltrane
