#include "PolarConversion.h"

#include "VectorClones.h"
#include "VectorMath.h"

#include <cmath>

namespace veltrane
{
namespace
{
// Bins go through the vector maths a block at a time, gathered into contiguous arrays (the
// imaginary parts lie in reverse order); a block stays in the first-level cache.
constexpr int blockBins = 256;

template <int S>
VELTRANE_INLINE_IN_CLONES void toPolar (const float* in, int n, float* magnitude, float* phase) noexcept
{
    const int half = n / 2;
    alignas (64) float re[blockBins], im[blockBins], angle[blockBins];
    int unusual = 0;
    for (int first = 0; first <= half; first += blockBins)
    {
        const int count = half + 1 - first < blockBins ? half + 1 - first : blockBins;
        // Bins 0 and N/2 have no imaginary part.
        const int low = first == 0 ? 1 : 0;
        const int high = first + count > half ? count - 1 : count;
        for (int j = 0; j < count; ++j)
            re[j] = in[first + j];
        for (int j = low; j < high; ++j)
            im[j] = in[n - first - j];
        if (low == 1)
            im[0] = 0.0f;
        if (high < count)
            im[count - 1] = 0.0f;
        atan2Span (im, re, angle, count);
        for (int j = 0; j < count; ++j)
        {
            const int k = first + j;
            // Squares of floats are exact in double, so this is hypot rounded to float without
            // its slow overflow handling.
            const float m = (float) std::sqrt ((double) re[j] * (double) re[j] + (double) im[j] * (double) im[j]);
            magnitude[k * S] = m;
            phase[k * S] = -angle[j];
            unusual |= (int) (m != m);
        }
    }
    if (unusual == 0)
        return;
    for (int k = 0; k <= half; ++k)
        if (std::isnan (magnitude[k * S]))
            phase[k * S] = 0.0f;
}

template <int S>
VELTRANE_INLINE_IN_CLONES void fromPolar (const float* magnitude, const float* phase, int n, float* out) noexcept
{
    const int half = n / 2;
    alignas (64) float angle[blockBins], sn[blockBins], cs[blockBins];
    for (int first = 0; first <= half; first += blockBins)
    {
        const int count = half + 1 - first < blockBins ? half + 1 - first : blockBins;
        for (int j = 0; j < count; ++j)
            angle[j] = phase[(first + j) * S];
        sinCosSpan (angle, sn, cs, count);
        for (int j = 0; j < count; ++j)
        {
            const float m = magnitude[(first + j) * S];
            out[first + j] = m == 0.0f || m != m ? 0.0f : m * cs[j];
        }
        // Bins 0 and N/2 have no imaginary slot.
        const int low = first == 0 ? 1 : 0;
        const int high = first + count > half ? count - 1 : count;
        for (int j = low; j < high; ++j)
        {
            const float m = magnitude[(first + j) * S];
            out[n - first - j] = m == 0.0f || m != m ? 0.0f : -(m * sn[j]);
        }
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
