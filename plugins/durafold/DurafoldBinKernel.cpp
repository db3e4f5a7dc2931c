// Built with -fno-trapping-math and -ffp-contract=off (keeps d * ratio + running rounded
// twice, as the single-precision formula says, on machines with fused multiply-add).

#include "DurafoldBinKernel.h"

#include "PolarConversion.h"
#include "VectorClones.h"

#include <cmath>

namespace
{
VELTRANE_VECTOR_CLONES int propagate (const float* magnitude, float* phase, int half, float ratio, float pi,
                                      float twoPi, float* lastPhase, float* runningPhase) noexcept
{
    // Phases lie in [-pi, pi], so the difference needs at most one wrap; the new phase needs
    // one more per 2 pi of ratio, which the caller's fix-up pass continues exactly as the
    // loops would. Returns non-zero when some bin needs it.
    int wide = 0;
    for (int k = 0; k <= half; ++k)
    {
        const float m = magnitude[k];
        const float ph = phase[k];
        const bool quiet = m < 1e-5f;
        float d = ph - lastPhase[k];
        d = d > pi ? d - twoPi : d;
        d = d < -pi ? d + twoPi : d;
        float a = d * ratio + runningPhase[k];
        a = a > pi ? a - twoPi : a;
        a = a < -pi ? a + twoPi : a;
        wide |= (int) (! quiet) & (int) ! (std::fabs (a) <= pi);
        phase[k] = quiet ? ph : a;
        lastPhase[k] = quiet ? 0.0f : ph;
        runningPhase[k] = quiet ? 0.0f : a;
    }
    return wide;
}
} // namespace

void durafold::propagateBins (const float* packed, int n, float ratio, float pi, float twoPi, float* magnitude,
                              float* phase, float* lastPhase, float* runningPhase, float* result) noexcept
{
    // Magnitudes and phases in two planes, so every pass runs on contiguous floats.
    const int half = n / 2;
    veltrane::toPolarPlanes (packed, n, magnitude, phase);
    if (propagate (magnitude, phase, half, ratio, pi, twoPi, lastPhase, runningPhase) != 0)
        for (int k = 0; k <= half; ++k)
        {
            float a = phase[k];
            if (std::fabs (a) <= pi)
                continue; // quiet bins never get here: their phase is in range
            while (a > pi)
                a -= twoPi;
            while (a < -pi)
                a += twoPi;
            phase[k] = a;
            runningPhase[k] = a;
        }
    veltrane::fromPolarPlanes (magnitude, phase, n, result);
}
