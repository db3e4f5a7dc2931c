#include "PitchShiftKernel.h"

#include "PhaseMath.h"
#include "ScaleSieve.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tonalith
{
PitchShiftKernel::PitchShiftKernel()
    : bandOf (new int[maxBins]), order (new int[maxBins])
{
}

PitchShiftKernel::~PitchShiftKernel()
{
    delete[] bandOf;
    delete[] order;
}

int PitchShiftKernel::orderByBand (const float* polar, int count, float threshold) noexcept
{
    // The band edges exactly as the passes compute them: upper, max(upper x 0.707106, T), ...
    bands = 0;
    float upper = 1.0f;
    edges[0] = upper;
    while (upper > threshold && bands < maxBands)
    {
        const float lower = std::max (upper * bandFactor, threshold);
        edges[++bands] = lower;
        upper = lower;
    }
    for (int b = 0; b <= bands; ++b)
        bandStart[b] = 0;
    if (bands == 0)
        return 0; // a gate at 1.0 or above leaves no band to carry anything

    // Each bin's band: a logarithmic first guess, then corrected against the edges so the
    // result is the band whose pass would take it (lower < m <= upper).
    const float lowest = edges[bands];
    for (int i = 0; i < count; ++i)
    {
        // Magnitudes above 1.0 (partials louder than about -6 dBFS) belong to the loudest
        // band; only infinities and NaN stay out.
        const float magnitude = polar[2 * i];
        if (! (magnitude > lowest && magnitude <= std::numeric_limits<float>::max()))
        {
            bandOf[i] = -1;
            continue;
        }
        const float m = std::min (magnitude, 1.0f);
        // m = f x 2^e with 0.5 <= f < 1 read from the bits (m is a positive normal float
        // here); -2 log2 m lies in [-2e, -2e + 2), and the edges are within a hair of the
        // powers of sqrt(1/2), so the corrections below rarely take a step.
        std::uint32_t bits;
        std::memcpy (&bits, &m, sizeof bits);
        const int e = (int) ((bits >> 23) & 0xffu) - 126;
        const std::uint32_t fractionBits = (bits & 0x7fffffu) | 0x3f000000u;
        float fraction;
        std::memcpy (&fraction, &fractionBits, sizeof fraction);
        int b = -2 * e + (fraction <= 0.70710678f ? 1 : 0);
        b = std::min (std::max (b, 0), bands - 1);
        while (b + 1 < bands && ! (m > edges[b + 1]))
            ++b;
        while (b > 0 && m > edges[b])
            --b;
        bandOf[i] = b;
        ++bandStart[b + 1];
    }
    for (int b = 0; b < bands; ++b)
        bandStart[b + 1] += bandStart[b];
    // A stable counting sort: bins enter their band's run in ascending order.
    int carried = 0;
    for (int i = 0; i < count; ++i)
    {
        const int b = bandOf[i];
        if (b >= 0)
        {
            order[bandStart[b]++] = i;
            ++carried;
        }
    }
    return carried;
}

void PitchShiftKernel::process (float* out, float* polar, float* shiftedPolar, float* lastPhase, float* shiftPhase,
                                const KernelSettings& s) noexcept
{
    const int n = s.fftSize;
    const int h = n / 2;
    const float ratio = s.ratio;
    const float pi = s.pi, twoPi = s.twoPi;
    const float threshold = std::max (s.threshold, minimumThreshold);

    int count = h;
    if (! (ratio <= 1.0f))
    {
        const float q = (float) h / ratio;
        count = q >= 1.0f ? (int) q : 0;
    }
    count = std::min (count, h);

    for (int i = 0; i < h; ++i)
    {
        shiftedPolar[2 * i] = 0.0f;
        shiftedPolar[2 * i + 1] = 0.0f;
    }

    const float inverseN = 1.0f / (float) n;
    const float hopTwoPi = (float) s.hop * twoPi;
    const float inverseHopTwoPi = 1.0f / hopTwoPi;
    const ScaleSieve* sieve = s.sieve;
    for (int k = 0; k < h; ++k)
    {
        const float phase = polar[2 * k + 1];
        const float d = veltrane::wrapPhase (lastPhase[k] - phase, pi, twoPi);
        lastPhase[k] = phase;
        float f = ((float) k * inverseN + d * inverseHopTwoPi) * ratio;
        if (sieve != nullptr && ! sieve->apply (f, 1.0f))
            polar[2 * k] = 0.0f;
        polar[2 * k + 1] = f;
    }

    const float nf = (float) n;
    const int carried = orderByBand (polar, count, threshold);
    for (int o = 0; o < carried; ++o)
    {
        const int i = order[o];
        const float m = polar[2 * i];
        const float f = polar[2 * i + 1];
        const float x = nf * f;
        // Rounded to the nearest bin; anything at or beyond the top (or not a number)
        // has no target, anything below bin 0 lands in bin 0.
        if (! (x < (float) h))
            continue;
        int target = 0;
        if (x > 0.0f)
        {
            const int t = (int) x;
            target = x - (float) t > 0.5f ? t + 1 : t;
        }
        if (target >= h)
            continue;
        float* dst = shiftedPolar + 2 * target;
        if (dst[0] != 0.0f)
        {
            dst[0] += m;
            continue;
        }
        float phi = veltrane::wrapPhase (((float) target * inverseN - f) * hopTwoPi, pi, twoPi);
        phi = veltrane::wrapPhase (phi + shiftPhase[target], pi, twoPi);
        dst[0] = m;
        dst[1] = phi;
        shiftPhase[target] = phi;
    }

    for (int i = 0; i < h; ++i)
    {
        const float m = shiftedPolar[2 * i];
        float re = 0.0f, im = 0.0f;
        if (m != 0.0f)
        {
            const float phi = shiftedPolar[2 * i + 1];
            re = m * std::cos (phi);
            im = -m * std::sin (phi);
        }
        out[i] = re;
        if (i > 0)
            out[n - i] = im;
    }
    out[h] = 0.0f;
}
} // namespace tonalith
