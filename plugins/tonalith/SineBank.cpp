#include "SineBank.h"

#include "PhaseMath.h"
#include "ScaleSieve.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

namespace tonalith
{
namespace
{
template <typename T>
T* allocateZeroed (std::size_t count)
{
    std::size_t bytes = (count * sizeof (T) + 63) / 64 * 64;
    void* p = std::aligned_alloc (64, bytes);
    if (p == nullptr)
        throw std::bad_alloc();
    std::memset (p, 0, bytes);
    return static_cast<T*> (p);
}

constexpr int maxActive = SineBank::maxOscillators / 4 + veltrane::sineOscillatorGroup; // L is at most N/2 = 8192

/** Brings a position back into [0, 16384) by whole table lengths. For finite values this
    equals subtracting (or adding) 16384 one step at a time, which is exact here; a
    position that is not finite restarts at 0. */
/** fmod by the table length without the library call: the length is a power of two, so x / tl
    and the whole lengths are exact, and the remainder, being representable, is what the one
    subtraction rounds to (with fmod's sign of x for a zero remainder). */
inline float remainderOfLength (float x, float tl) noexcept
{
    static_assert (SineBank::tableLength == 16384, "the table length must stay a power of two");
    return std::copysign (x - tl * std::trunc (x * (1.0f / 16384.0f)), x);
}

inline float wrapPosition (float x, float tl) noexcept
{
    if (! std::isfinite (x))
        return 0.0f;
    if (x >= tl)
        x = remainderOfLength (x, tl);
    if (x < 0.0f)
    {
        x = remainderOfLength (x, tl);
        if (x < 0.0f)
            x += tl;
        if (x >= tl) // a tiny negative remainder rounds up to the length itself
            x = 0.0f;
    }
    return x;
}
} // namespace

SineBank::SineBank (float twoPi)
    : tableStep (twoPi * (1.0f / 16384.0f))
{
    for (int k = 0; k < tableLength; ++k)
        sineTable[k] = (float) std::sin ((double) ((float) k * tableStep));
    for (int c = 0; c < 2; ++c)
    {
        oscState[c] = allocateZeroed<float> (2 * (std::size_t) maxOscillators);
        oscPhase[c] = allocateZeroed<float> ((std::size_t) maxOscillators);
    }
    activeIndex = allocateZeroed<int> (maxActive);
    activePos = allocateZeroed<float> (maxActive);
    activeInc = allocateZeroed<float> (maxActive);
    activeIncStep = allocateZeroed<float> (maxActive);
    activeAmp = allocateZeroed<float> (maxActive);
    activeAmpStep = allocateZeroed<float> (maxActive);
    scratch = allocateZeroed<float> (veltrane::sineOscillatorScratch);
}

SineBank::~SineBank()
{
    for (int c = 0; c < 2; ++c)
    {
        std::free (oscState[c]);
        std::free (oscPhase[c]);
    }
    for (void* p : { (void*) activeIndex, (void*) activePos, (void*) activeInc, (void*) activeIncStep,
                     (void*) activeAmp, (void*) activeAmpStep, (void*) scratch })
        std::free (p);
}

void SineBank::reset() noexcept
{
    for (int c = 0; c < 2; ++c)
    {
        std::memset (oscState[c], 0, sizeof (float) * 2 * (std::size_t) maxOscillators);
        std::memset (oscPhase[c], 0, sizeof (float) * (std::size_t) maxOscillators);
    }
}

void SineBank::render (float* output, float* polar, float* state, float* lastPhase, float* position,
                       const KernelSettings& s) noexcept
{
    const int n = s.fftSize;
    const int h = n / 2;
    const float ratio = s.ratio;
    const float threshold = s.threshold;
    const float tl = tableLengthFloat;

    int count = h;
    if (! (ratio <= 1.0f))
    {
        const float q = (float) h / ratio;
        count = q >= 1.0f ? (int) q : 0; // also 0 for a ratio that is not a number
    }
    if (count <= 0)
        return;
    if (count > h)
        count = h;

    const float d = tl * ratio / (float) n;
    const float g = tl * ratio / ((float) s.hop * s.twoPi);
    const float inverseHop = s.inverseHop;
    const ScaleSieve* sieve = s.sieve;

    int active = 0;
    for (int i = 0; i < count; ++i)
    {
        const float phase = polar[2 * i + 1];
        const float e = veltrane::wrapPhase (lastPhase[i] - phase, s.pi, s.twoPi);
        lastPhase[i] = phase;
        float target = (float) i * d + e * g;
        float a = polar[2 * i];
        if (sieve != nullptr && ! sieve->apply (target, tl))
            a = 0.0f;
        // A magnitude that is not a number or infinite silences its oscillator instead of
        // carrying into its state.
        if (! std::isfinite (a))
            a = 0.0f;
        if (a < threshold)
            a = a * a;
        if (a < 0.00001f)
            a = 0.0f;
        polar[2 * i] = a;

        const float a0 = state[2 * i];
        const float k0 = state[2 * i + 1];
        if (a >= threshold || a0 != 0.0f)
        {
            if (! std::isfinite (target))
                target = (float) i * d;
            activeIndex[active] = i;
            activePos[active] = position[i];
            activeInc[active] = k0;
            activeIncStep[active] = (target - k0) * inverseHop;
            activeAmp[active] = a0;
            activeAmpStep[active] = (a - a0) * inverseHop;
            ++active;
        }
        else
        {
            target = (float) i * d;
            position[i] = wrapPosition (position[i], tl);
        }
        polar[2 * i + 1] = target;
        state[2 * i] = a;
        state[2 * i + 1] = std::isfinite (target) ? target : 0.0f;
    }
    if (active == 0)
        return;

    const int group = veltrane::sineOscillatorGroup;
    const int padded = (active + group - 1) / group * group;
    for (int k = active; k < padded; ++k)
    {
        activePos[k] = activeInc[k] = activeIncStep[k] = 0.0f;
        activeAmp[k] = activeAmpStep[k] = 0.0f;
    }
    const veltrane::SineOscillatorSpans spans { activePos, activeInc, activeAmp, activeIncStep, activeAmpStep };
    veltrane::runSineOscillators (spans, padded, sineTable, tableStep, scratch, output, std::min (s.hop, maxHop),
                                  0.5f * s.outputGain);
    for (int k = 0; k < active; ++k)
        position[activeIndex[k]] = wrapPosition (activePos[k], tl);
}
} // namespace tonalith
