#include "PitchShiftKernel.h"

#include "PhaseMath.h"
#include "PolarConversion.h"
#include "ScaleSieve.h"

#include <algorithm>

namespace tonalith
{
PitchShiftKernel::PitchShiftKernel()
    : outMagnitude ((size_t) maxBins + 1, 0.0f),
      outPhase ((size_t) maxBins + 1, 0.0f)
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

    transfer.setFloor (s.threshold);
    transfer.assignTargets (polar + 1, 2, count, n, hopTwoPi, veltrane::BandTransfer::BelowBinZero::landsInBinZero);
    transfer.transfer (polar, 2, count, h, outMagnitude.data(), outPhase.data(), shiftPhase, pi, twoPi);

    // The frame's output pairs (an empty bin has phase 0), and their halfcomplex form; no
    // target reaches bin N/2, so its element is always 0.
    for (int i = 0; i < h; ++i)
    {
        const float m = outMagnitude[(size_t) i];
        shiftedPolar[2 * i] = m;
        shiftedPolar[2 * i + 1] = m != 0.0f ? outPhase[(size_t) i] : 0.0f;
    }
    veltrane::fromPolarPlanes (outMagnitude.data(), outPhase.data(), n, out);
}
} // namespace tonalith
