// Built with -ffp-contract=off, so 0.5 - 0.5 cos stays two rounded operations everywhere.

#include "DurafoldGrainEnvelope.h"

#include "VectorClones.h"
#include "VectorMath.h"

VELTRANE_VECTOR_CLONES
void durafold::grainEnvelopes (const float* phase, float* envelope, int count) noexcept
{
    constexpr int block = 64;
    float sn[block], cs[block];
    for (int first = 0; first < count; first += block)
    {
        const int lanes = count - first < block ? count - first : block;
        veltrane::sinCosSpan (phase + first, sn, cs, lanes);
        for (int i = 0; i < lanes; ++i)
            envelope[first + i] = 0.5f - 0.5f * cs[i];
    }
}
