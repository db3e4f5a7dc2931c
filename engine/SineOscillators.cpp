#include "SineOscillators.h"

#include "VectorClones.h"

namespace veltrane
{
namespace
{
constexpr int block = sineOscillatorScratch / 16;

/** The plain path: the four-lane loop's operations in its order, one lane at a time (lane q
    sums oscillators q and q + 4 of every eight), reading the table. */
void runPlain (const SineOscillatorSpans& o, int count, const float* table, float, float* scratch, float* output,
               int hop, float scale) noexcept
{
    auto index = [] (float position) noexcept {
        // Out-of-range and NaN positions read entry 0, as the vector conversion gives.
        return position >= -2147483648.0f && position < 2147483648.0f ? ((int) position & (sineTableLength - 1)) : 0;
    };
    for (int start = 0; start < hop; start += block)
    {
        const int samples = hop - start < block ? hop - start : block;
        for (int j = 0; j < 4 * samples; ++j)
            scratch[j] = 0.0f;
        for (int base = 0; base < count; base += 8)
            for (int q = 0; q < 4; ++q)
            {
                const int i0 = base + q, i1 = base + q + 4;
                float p0 = o.position[i0], p1 = o.position[i1];
                float k0 = o.increment[i0], k1 = o.increment[i1];
                float a0 = o.amplitude[i0], a1 = o.amplitude[i1];
                const float dk0 = o.incrementStep[i0], dk1 = o.incrementStep[i1];
                const float da0 = o.amplitudeStep[i0], da1 = o.amplitudeStep[i1];
                for (int j = 0; j < samples; ++j)
                {
                    scratch[4 * j + q] += a0 * table[index (p0)] + a1 * table[index (p1)];
                    p0 += k0;
                    p1 += k1;
                    k0 += dk0;
                    k1 += dk1;
                    a0 += da0;
                    a1 += da1;
                }
                o.position[i0] = p0;
                o.position[i1] = p1;
                o.increment[i0] = k0;
                o.increment[i1] = k1;
                o.amplitude[i0] = a0;
                o.amplitude[i1] = a1;
            }
        const float* lane = scratch;
        for (int j = 0; j < samples; ++j, lane += 4)
            output[start + j] += ((lane[0] + lane[1]) + (lane[2] + lane[3])) * scale;
    }
}
} // namespace

#if defined(VELTRANE_VECTOR_WIDTHS)

// SineOscillatorsLanes.cpp, once per width.
void sineOscillatorLanes4 (const SineOscillatorSpans&, int, const float*, float, float*, float*, int, float) noexcept;
void sineOscillatorLanes8 (const SineOscillatorSpans&, int, const float*, float, float*, float*, int, float) noexcept;
void sineOscillatorLanes16 (const SineOscillatorSpans&, int, const float*, float, float*, float*, int, float) noexcept;

namespace
{
decltype (&sineOscillatorLanes4) sineOscillatorsAt (int lanes) noexcept
{
    return lanes == 16  ? sineOscillatorLanes16
           : lanes == 8 ? sineOscillatorLanes8
           : lanes == 4 ? sineOscillatorLanes4
                        : runPlain;
}
} // namespace

// Resolved by the loader, as the cloned loops are.
extern "C"
{
    static decltype (&sineOscillatorLanes4) veltraneResolveSineOscillators() noexcept
    {
        return sineOscillatorsAt (widestVectorLanes());
    }
}

__attribute__ ((ifunc ("veltraneResolveSineOscillators"))) void
runSineOscillators (const SineOscillatorSpans&, int, const float*, float, float*, float*, int, float) noexcept;

bool runSineOscillatorsAt (int lanes, const SineOscillatorSpans& spans, int count, const float* table, float tableStep,
                           float* scratch, float* output, int hop, float scale) noexcept
{
    if (! (lanes == 1 || ((lanes == 4 || lanes == 8 || lanes == 16) && lanes <= widestVectorLanes())))
        return false;
    sineOscillatorsAt (lanes) (spans, count, table, tableStep, scratch, output, hop, scale);
    return true;
}

#else

void runSineOscillators (const SineOscillatorSpans& spans, int count, const float* table, float tableStep,
                         float* scratch, float* output, int hop, float scale) noexcept
{
    runPlain (spans, count, table, tableStep, scratch, output, hop, scale);
}

bool runSineOscillatorsAt (int lanes, const SineOscillatorSpans& spans, int count, const float* table, float tableStep,
                           float* scratch, float* output, int hop, float scale) noexcept
{
    if (lanes != 1)
        return false;
    runPlain (spans, count, table, tableStep, scratch, output, hop, scale);
    return true;
}

#endif
} // namespace veltrane
