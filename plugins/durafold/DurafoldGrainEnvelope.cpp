// Built with -ffp-contract=off, so 0.5 - 0.5 cos stays two rounded operations everywhere.

#include "DurafoldGrainEnvelope.h"

#include "PhaseMath.h"

#include <cmath>

// Also built for AVX2 and AVX-512 on x86-64 (the loader picks the version the processor
// runs); every version evaluates the same operations in the same order.
// Sanitizer builds keep the plain version: the choice runs before their runtime is ready.
#if defined(__GNUC__) && ! defined(__clang__) && defined(__x86_64__) && defined(__linux__) \
    && ! defined(__SANITIZE_THREAD__) && ! defined(__SANITIZE_ADDRESS__)
 #define DURAFOLD_ENVELOPE_CLONES __attribute__ ((target_clones ("avx512f", "avx2", "default")))
#else
 #define DURAFOLD_ENVELOPE_CLONES
#endif

DURAFOLD_ENVELOPE_CLONES
void durafoldGrainEnvelopes (const float* phase, float* envelope, int count) noexcept
{
    int far = 0;
    for (int i = 0; i < count; ++i)
    {
        float sn, cs;
        veltrane::sinCosRounded (phase[i], sn, cs);
        far |= (int) ! (std::fabs (phase[i]) <= veltrane::sinCosRoundedLimit);
        envelope[i] = 0.5f - 0.5f * cs;
    }
    if (far != 0)
        for (int i = 0; i < count; ++i)
            if (! (std::fabs (phase[i]) <= veltrane::sinCosRoundedLimit))
                envelope[i] = 0.5f - 0.5f * (float) std::cos ((double) phase[i]); // rounded once, as above
}
