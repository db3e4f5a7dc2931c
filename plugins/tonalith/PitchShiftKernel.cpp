#include "PitchShiftKernel.h"

#include "PhaseMath.h"
#include "PolarConversion.h"
#include "ScaleSieve.h"
#include "VectorClones.h"

#include <algorithm>
#include <cmath>

namespace tonalith
{
namespace
{
/** Each bin's instantaneous frequency times the ratio, into the phase slot of its pair; the
    phase difference goes to difference. Returns non-zero when some difference lies beyond
    6 pi or is not a number, which the general wrap must take. */
VELTRANE_VECTOR_CLONES int shiftedFrequencies (float* polar, float* lastPhase, float* difference, int h, float inverseN,
                                               float inverseHopTwoPi, float ratio, float pi, float twoPi) noexcept
{
    const float sixPi = 6.0f * pi;
    int unusual = 0;
    for (int k = 0; k < h; ++k)
    {
        const float phase = polar[2 * k + 1];
        const float d = lastPhase[k] - phase;
        unusual |= (int) ! (std::fabs (d) <= sixPi);
        difference[k] = d;
        lastPhase[k] = phase;
        polar[2 * k + 1] = ((float) k * inverseN + veltrane::wrapPhaseThrice (d, pi, twoPi) * inverseHopTwoPi) * ratio;
    }
    return unusual;
}

/** The output pairs of bins 0..h-1 (an empty bin has phase 0). */
VELTRANE_VECTOR_CLONES void outputPairs (const float* magnitude, const float* phase, float* pairs, int h) noexcept
{
    for (int i = 0; i < h; ++i)
    {
        const float m = magnitude[i];
        pairs[2 * i] = m;
        pairs[2 * i + 1] = m != 0.0f ? phase[i] : 0.0f;
    }
}
} // namespace

PitchShiftKernel::PitchShiftKernel()
    : outMagnitude ((size_t) maxBins + 1, 0.0f),
      outPhase ((size_t) maxBins + 1, 0.0f),
      difference ((size_t) maxBins, 0.0f)
{
}

void PitchShiftKernel::process (float* out, float* polar, float* shiftedPolar, float* lastPhase, float* shiftPhase,
                                const KernelSettings& s) noexcept
{
    const int n = s.fftSize;
    const int h = n / 2;
    const float ratio = s.ratio;
    const float pi = s.pi, twoPi = s.twoPi;

    // Sources: the bins whose shifted frequency can stay below the top.
    int count = h;
    if (! (ratio <= 1.0f))
    {
        const float q = (float) h / ratio;
        count = q >= 1.0f ? (int) q : 0;
    }
    count = std::min (count, h);

    // Each bin's instantaneous frequency, shifted, in the phase slot of its pair.
    const float inverseN = 1.0f / (float) n;
    const float hopTwoPi = (float) s.hop * twoPi;
    const float inverseHopTwoPi = 1.0f / hopTwoPi;
    if (shiftedFrequencies (polar, lastPhase, difference.data(), h, inverseN, inverseHopTwoPi, ratio, pi, twoPi) != 0)
        for (int k = 0; k < h; ++k)
        {
            const float d = difference[(size_t) k];
            if (! (std::fabs (d) <= 6.0f * pi))
                polar[2 * k + 1] =
                    ((float) k * inverseN + veltrane::wrapPhase (d, pi, twoPi) * inverseHopTwoPi) * ratio;
        }
    if (const ScaleSieve* sieve = s.sieve)
        for (int k = 0; k < h; ++k)
        {
            float f = polar[2 * k + 1];
            if (! sieve->apply (f, 1.0f))
                polar[2 * k] = 0.0f;
            polar[2 * k + 1] = f;
        }

    transfer.setFloor (s.threshold);
    transfer.assignTargets (polar + 1, 2, count, n, hopTwoPi, veltrane::BandTransfer::BelowBinZero::landsInBinZero);
    transfer.transfer (polar, 2, count, h, outMagnitude.data(), outPhase.data(), shiftPhase, pi, twoPi);

    // The frame's output pairs (an empty bin has phase 0), and their halfcomplex form; no
    // target reaches bin N/2, so its element is always 0.
    outputPairs (outMagnitude.data(), outPhase.data(), shiftedPolar, h);
    veltrane::fromPolarPlanes (outMagnitude.data(), outPhase.data(), n, out);
}
} // namespace tonalith
