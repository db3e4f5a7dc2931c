// Built with -fno-trapping-math (lets the compiler vectorise the branch-free divisions of the
// phase pass; values are unaffected) and -ffp-contract=off (keeps d * ratio + running
// rounded twice, as the single-precision formula says, on machines with fused multiply-add).

#include "DurafoldBinKernel.h"

#include "PhaseMath.h"

#include <cmath>

// On x86-64 the kernel is also built for AVX2 and AVX-512, which give two and four times the
// lanes; the loader picks the version the processor runs. All versions evaluate the same
// operations in the same order, so their results are identical.
// Sanitizer builds keep the plain version: the choice runs before their runtime is ready.
#if defined(__GNUC__) && ! defined(__clang__) && defined(__x86_64__) && defined(__linux__) \
    && ! defined(__SANITIZE_THREAD__) && ! defined(__SANITIZE_ADDRESS__)
 #define DURAFOLD_KERNEL_CLONES __attribute__ ((target_clones ("avx512f", "avx2", "default")))
#else
 #define DURAFOLD_KERNEL_CLONES
#endif

namespace
{
/** Magnitude and phase of one bin: the double-precision hypot rounded to float (squares of
    floats are exact in double) and -atan2, correctly rounded. */
inline void toPolar (float x, float y, float& magnitude, float& phase) noexcept
{
    magnitude = (float) std::sqrt ((double) x * (double) x + (double) y * (double) y);
    phase = -veltrane::atan2Rounded (y, x);
}
} // namespace

DURAFOLD_KERNEL_CLONES
void durafoldPropagateBins (const float* packed, int n, float ratio, float pi, float twoPi, float* polar,
                            float* lastPhase, float* runningPhase, float* result, float* scratch) noexcept
{
    const int half = n / 2;

    // 1. Polar form; the analysis phases wait in the scratch (a store of a phase into the
    //    place it was read from would be a conditional store, which does not vectorise).
    //    atan2Rounded leaves infinite and NaN operands undefined (NaN).
    float* phase = scratch;
    toPolar (packed[0], 0.0f, polar[0], phase[0]);
    for (int k = 1; k < half; ++k)
        toPolar (packed[k], packed[n - k], polar[2 * k], phase[k]);
    toPolar (packed[half], 0.0f, polar[2 * half], phase[half]);
    int odd = 0;
    for (int k = 0; k <= half; ++k)
        odd |= (int) std::isnan (phase[k]) | (int) std::isinf (polar[2 * k]);
    if (odd != 0)
        for (int k = 0; k <= half; ++k)
            if (std::isnan (phase[k]) || std::isinf (polar[2 * k]))
            {
                const float y = (k == 0 || k == half) ? 0.0f : packed[n - k];
                // The library knows atan2 of infinities; a phase that is still not a number
                // (a NaN operand) counts as 0 so it cannot reach the phase memory.
                const float ph = -std::atan2 (y, packed[k]);
                phase[k] = std::isfinite (ph) ? ph : 0.0f;
            }

    // 2. Propagation. Phases lie in [-pi, pi], so the difference needs at most one wrap;
    //    the new phase needs one more per 2 pi of ratio, which the fix-up pass continues
    //    exactly as the loops would.
    int wide = 0;
    for (int k = 0; k <= half; ++k)
    {
        const float m = polar[2 * k];
        const float ph = phase[k];
        const bool quiet = m < 1e-5f;
        float d = ph - lastPhase[k];
        d = d > pi ? d - twoPi : d;
        d = d < -pi ? d + twoPi : d;
        float a = d * ratio + runningPhase[k];
        a = a > pi ? a - twoPi : a;
        a = a < -pi ? a + twoPi : a;
        wide |= (int) (! quiet) & (int) ! (std::fabs (a) <= pi);
        polar[2 * k + 1] = quiet ? ph : a;
        lastPhase[k] = quiet ? 0.0f : ph;
        runningPhase[k] = quiet ? 0.0f : a;
    }
    if (wide != 0)
        for (int k = 0; k <= half; ++k)
        {
            float a = polar[2 * k + 1];
            if (std::fabs (a) <= pi)
                continue; // quiet bins never get here: their phase is in range
            while (a > pi)
                a -= twoPi;
            while (a < -pi)
                a += twoPi;
            polar[2 * k + 1] = a;
            runningPhase[k] = a;
        }

    // 3. Back to packed form; a silent (or undefined) magnitude gives 0.
    int far = 0;
    auto toCart = [polar, &far] (int k, float& re, float& im) noexcept {
        const float m = polar[2 * k];
        const float a = polar[2 * k + 1];
        float sn, cs;
        veltrane::sinCosRounded (a, sn, cs);
        far |= (int) ! (std::fabs (a) <= veltrane::sinCosRoundedLimit);
        const bool silent = m == 0.0f || std::isnan (m);
        re = silent ? 0.0f : m * cs;
        im = silent ? 0.0f : -(m * sn);
    };
    float im0;
    toCart (0, result[0], im0);
    for (int k = 1; k < half; ++k)
        toCart (k, result[k], result[n - k]);
    toCart (half, result[half], im0);
    if (far != 0) // not reached with finite spectra: every phase is within [-pi, pi] by now
        for (int k = 0; k <= half; ++k)
        {
            const float m = polar[2 * k];
            const float a = polar[2 * k + 1];
            if (std::fabs (a) <= veltrane::sinCosRoundedLimit || m == 0.0f || std::isnan (m))
                continue;
            result[k] = m * (float) std::cos ((double) a);
            if (k != 0 && k != half)
                result[n - k] = -(m * (float) std::sin ((double) a));
        }
}
