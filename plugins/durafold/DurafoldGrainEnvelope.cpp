// Built with -ffp-contract=off, so 0.5 - 0.5 cos stays two rounded operations everywhere.

#include "DurafoldGrainEnvelope.h"

#include "PhaseMath.h"
#include "VectorClones.h"

#include <cmath>

VELTRANE_VECTOR_CLONES
void durafold::grainEnvelopes (const float* phase, float* envelope, int count) noexcept
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
