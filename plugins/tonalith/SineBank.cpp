#include "SineBank.h"

#include "PhaseMath.h"
#include "ScaleSieve.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

#if defined(__SSE2__) && ! defined(VELTRANE_PLAIN_LOOPS)
 #define TONALITH_SSE2_BANK 1
 #include <emmintrin.h>
#endif

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

constexpr int maxActive = SineBank::maxOscillators / 4 + 8; // L is at most N/2 = 8192

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
{
    const float step = twoPi * (1.0f / 16384.0f);
    for (int k = 0; k < tableLength; ++k)
        sineTable[k] = (float) std::sin ((double) ((float) k * step));
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
    lanes = allocateZeroed<float> (4 * (std::size_t) maxHop);
}

SineBank::~SineBank()
{
    for (int c = 0; c < 2; ++c)
    {
        std::free (oscState[c]);
        std::free (oscPhase[c]);
    }
    for (void* p : { (void*) activeIndex, (void*) activePos, (void*) activeInc, (void*) activeIncStep,
                     (void*) activeAmp, (void*) activeAmpStep, (void*) lanes })
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

    const int padded = (active + 7) & ~7;
    for (int k = active; k < padded; ++k)
    {
        activePos[k] = activeInc[k] = activeIncStep[k] = 0.0f;
        activeAmp[k] = activeAmpStep[k] = 0.0f;
    }
    runActive (output, padded, s.hop, 0.5f * s.outputGain);
    for (int k = 0; k < active; ++k)
        position[activeIndex[k]] = wrapPosition (activePos[k], tl);
}

void SineBank::runActive (float* output, int count, int hop, float scale) noexcept
{
    if (hop > maxHop)
        hop = maxHop;
    std::memset (lanes, 0, sizeof (float) * 4 * (std::size_t) hop);
    const float* table = sineTable;

#if defined(TONALITH_SSE2_BANK)
    const __m128i mask = _mm_set1_epi32 (tableMask);
    for (int base = 0; base < count; base += 8)
    {
        __m128 p0 = _mm_load_ps (activePos + base), p1 = _mm_load_ps (activePos + base + 4);
        __m128 k0 = _mm_load_ps (activeInc + base), k1 = _mm_load_ps (activeInc + base + 4);
        const __m128 dk0 = _mm_load_ps (activeIncStep + base), dk1 = _mm_load_ps (activeIncStep + base + 4);
        __m128 a0 = _mm_load_ps (activeAmp + base), a1 = _mm_load_ps (activeAmp + base + 4);
        const __m128 da0 = _mm_load_ps (activeAmpStep + base), da1 = _mm_load_ps (activeAmpStep + base + 4);
        float* lane = lanes;
        for (int j = 0; j < hop; ++j, lane += 4)
        {
            // Truncation toward zero, then the mask: a position that is not a number reads
            // entry 0 (the conversion's out-of-range value masks to 0).
            const __m128i i0 = _mm_and_si128 (_mm_cvttps_epi32 (p0), mask);
            const __m128i i1 = _mm_and_si128 (_mm_cvttps_epi32 (p1), mask);
            // Indexes fit in 14 bits, so the low half of each lane is the whole index.
            const __m128 s0 = _mm_setr_ps (table[_mm_extract_epi16 (i0, 0)], table[_mm_extract_epi16 (i0, 2)],
                                           table[_mm_extract_epi16 (i0, 4)], table[_mm_extract_epi16 (i0, 6)]);
            const __m128 s1 = _mm_setr_ps (table[_mm_extract_epi16 (i1, 0)], table[_mm_extract_epi16 (i1, 2)],
                                           table[_mm_extract_epi16 (i1, 4)], table[_mm_extract_epi16 (i1, 6)]);
            const __m128 v = _mm_add_ps (_mm_mul_ps (a0, s0), _mm_mul_ps (a1, s1));
            _mm_store_ps (lane, _mm_add_ps (_mm_load_ps (lane), v));
            p0 = _mm_add_ps (p0, k0);
            p1 = _mm_add_ps (p1, k1);
            k0 = _mm_add_ps (k0, dk0);
            k1 = _mm_add_ps (k1, dk1);
            a0 = _mm_add_ps (a0, da0);
            a1 = _mm_add_ps (a1, da1);
        }
        _mm_store_ps (activePos + base, p0);
        _mm_store_ps (activePos + base + 4, p1);
    }
#else
    // The same operations in the same order, one lane at a time: lane q sums oscillators q
    // and q + 4 of every group of eight.
    auto index = [] (float position) noexcept {
        // Out-of-range and NaN positions read entry 0, as the vector conversion gives.
        return position >= -2147483648.0f && position < 2147483648.0f ? ((int) position & tableMask) : 0;
    };
    for (int base = 0; base < count; base += 8)
        for (int q = 0; q < 4; ++q)
        {
            float p0 = activePos[base + q], p1 = activePos[base + q + 4];
            float k0 = activeInc[base + q], k1 = activeInc[base + q + 4];
            const float dk0 = activeIncStep[base + q], dk1 = activeIncStep[base + q + 4];
            float a0 = activeAmp[base + q], a1 = activeAmp[base + q + 4];
            const float da0 = activeAmpStep[base + q], da1 = activeAmpStep[base + q + 4];
            for (int j = 0; j < hop; ++j)
            {
                lanes[4 * j + q] += a0 * table[index (p0)] + a1 * table[index (p1)];
                p0 += k0;
                p1 += k1;
                k0 += dk0;
                k1 += dk1;
                a0 += da0;
                a1 += da1;
            }
            activePos[base + q] = p0;
            activePos[base + q + 4] = p1;
        }
#endif

    const float* lane = lanes;
    for (int j = 0; j < hop; ++j, lane += 4)
        output[j] += ((lane[0] + lane[1]) + (lane[2] + lane[3])) * scale;
}
} // namespace tonalith
