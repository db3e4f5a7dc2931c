// The vector half of SineOscillators.h, compiled once per vector width (VELTRANE_LANES 4, 8
// or 16, with the instruction set that width needs); SineOscillators.cpp picks one at load
// time. Four lanes read the table; eight and sixteen evaluate the sine, which costs fewer
// instructions than gathering sixteen table entries one by one and keeps the table out of
// the cache.

#include "SineOscillators.h"

#include <immintrin.h>

#define VELTRANE_LANE_CAT2(a, b) a##b
#define VELTRANE_LANE_CAT(a, b) VELTRANE_LANE_CAT2 (a, b)
#define VELTRANE_LANE_NAME(name) VELTRANE_LANE_CAT (name, VELTRANE_LANES)

namespace veltrane
{
namespace
{
constexpr int block = sineOscillatorScratch / 16; // samples summed per pass over the oscillators
constexpr int tableMask = sineTableLength - 1;

/** Adds each sample's partial sums (width per sample) into output, scaled. */
template <int width>
void flush (const float* scratch, float* output, int samples, float scale) noexcept
{
    for (int j = 0; j < samples; ++j, scratch += width)
    {
        float sum = 0.0f;
        for (int q = 0; q < width; ++q)
            sum += scratch[q];
        output[j] += sum * scale;
    }
}

#if VELTRANE_LANES == 4

// Truncation toward zero, then the mask: a position that is not a number reads entry 0 (the
// conversion's out-of-range value masks to 0). Lane q sums oscillators q and q + 4 of every
// eight, as the plain path does, so the two give the same sums.
void runBlock (const SineOscillatorSpans& o, int count, const float* table, float* lanes, int samples) noexcept
{
    const __m128i mask = _mm_set1_epi32 (tableMask);
    for (int base = 0; base < count; base += 8)
    {
        __m128 p0 = _mm_loadu_ps (o.position + base), p1 = _mm_loadu_ps (o.position + base + 4);
        __m128 k0 = _mm_loadu_ps (o.increment + base), k1 = _mm_loadu_ps (o.increment + base + 4);
        const __m128 dk0 = _mm_loadu_ps (o.incrementStep + base), dk1 = _mm_loadu_ps (o.incrementStep + base + 4);
        __m128 a0 = _mm_loadu_ps (o.amplitude + base), a1 = _mm_loadu_ps (o.amplitude + base + 4);
        const __m128 da0 = _mm_loadu_ps (o.amplitudeStep + base), da1 = _mm_loadu_ps (o.amplitudeStep + base + 4);
        float* lane = lanes;
        for (int j = 0; j < samples; ++j, lane += 4)
        {
            const __m128i i0 = _mm_and_si128 (_mm_cvttps_epi32 (p0), mask);
            const __m128i i1 = _mm_and_si128 (_mm_cvttps_epi32 (p1), mask);
            // Indexes fit in 14 bits, so the low half of each lane is the whole index.
            const __m128 s0 = _mm_setr_ps (table[_mm_extract_epi16 (i0, 0)], table[_mm_extract_epi16 (i0, 2)],
                                           table[_mm_extract_epi16 (i0, 4)], table[_mm_extract_epi16 (i0, 6)]);
            const __m128 s1 = _mm_setr_ps (table[_mm_extract_epi16 (i1, 0)], table[_mm_extract_epi16 (i1, 2)],
                                           table[_mm_extract_epi16 (i1, 4)], table[_mm_extract_epi16 (i1, 6)]);
            const __m128 v = _mm_add_ps (_mm_mul_ps (a0, s0), _mm_mul_ps (a1, s1));
            _mm_storeu_ps (lane, _mm_add_ps (_mm_loadu_ps (lane), v));
            p0 = _mm_add_ps (p0, k0);
            p1 = _mm_add_ps (p1, k1);
            k0 = _mm_add_ps (k0, dk0);
            k1 = _mm_add_ps (k1, dk1);
            a0 = _mm_add_ps (a0, da0);
            a1 = _mm_add_ps (a1, da1);
        }
        _mm_storeu_ps (o.position + base, p0);
        _mm_storeu_ps (o.position + base + 4, p1);
        _mm_storeu_ps (o.increment + base, k0);
        _mm_storeu_ps (o.increment + base + 4, k1);
        _mm_storeu_ps (o.amplitude + base, a0);
        _mm_storeu_ps (o.amplitude + base + 4, a1);
    }
}

void sumLanes (const float* lanes, float* output, int samples, float scale) noexcept
{
    for (int j = 0; j < samples; ++j, lanes += 4)
        output[j] += ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) * scale;
}

constexpr int width = 4;

#else

 #if VELTRANE_LANES == 16
using V = __m512;
using VI = __m512i;
inline V load (const float* p) noexcept { return _mm512_loadu_ps (p); }
inline void store (float* p, V v) noexcept { _mm512_storeu_ps (p, v); }
inline V splat (float x) noexcept { return _mm512_set1_ps (x); }
inline VI splatInt (int x) noexcept { return _mm512_set1_epi32 (x); }
inline V add (V a, V b) noexcept { return _mm512_add_ps (a, b); }
inline V mul (V a, V b) noexcept { return _mm512_mul_ps (a, b); }
inline V fma (V a, V b, V c) noexcept { return _mm512_fmadd_ps (a, b, c); }
// The zero-masked forms with every lane selected are the plain instructions; GCC 12's plain
// forms pass an undefined merge source and warn of it.
constexpr __mmask16 all = 0xffff;
inline VI truncate (V a) noexcept { return _mm512_maskz_cvttps_epi32 (all, a); }
inline V toFloat (VI a) noexcept { return _mm512_maskz_cvtepi32_ps (all, a); }
inline VI andInt (VI a, VI b) noexcept { return _mm512_and_si512 (a, b); }
inline VI addInt (VI a, VI b) noexcept { return _mm512_add_epi32 (a, b); }
template <int n>
VI shiftRight (VI a) noexcept
{
    return _mm512_maskz_srli_epi32 (all, a, n);
}
template <int n>
VI shiftLeft (VI a) noexcept
{
    return _mm512_maskz_slli_epi32 (all, a, n);
}
inline V flipSign (V a, VI signBits) noexcept
{
    return _mm512_castsi512_ps (_mm512_xor_si512 (_mm512_castps_si512 (a), signBits));
}
 #elif VELTRANE_LANES == 8
using V = __m256;
using VI = __m256i;
inline V load (const float* p) noexcept { return _mm256_loadu_ps (p); }
inline void store (float* p, V v) noexcept { _mm256_storeu_ps (p, v); }
inline V splat (float x) noexcept { return _mm256_set1_ps (x); }
inline VI splatInt (int x) noexcept { return _mm256_set1_epi32 (x); }
inline V add (V a, V b) noexcept { return _mm256_add_ps (a, b); }
inline V mul (V a, V b) noexcept { return _mm256_mul_ps (a, b); }
inline V fma (V a, V b, V c) noexcept { return _mm256_fmadd_ps (a, b, c); }
inline VI truncate (V a) noexcept { return _mm256_cvttps_epi32 (a); }
inline V toFloat (VI a) noexcept { return _mm256_cvtepi32_ps (a); }
inline VI andInt (VI a, VI b) noexcept { return _mm256_and_si256 (a, b); }
inline VI addInt (VI a, VI b) noexcept { return _mm256_add_epi32 (a, b); }
template <int n>
VI shiftRight (VI a) noexcept
{
    return _mm256_srli_epi32 (a, n);
}
template <int n>
VI shiftLeft (VI a) noexcept
{
    return _mm256_slli_epi32 (a, n);
}
inline V flipSign (V a, VI signBits) noexcept
{
    return _mm256_castsi256_ps (_mm256_xor_si256 (_mm256_castps_si256 (a), signBits));
}
 #else
  #error "VELTRANE_LANES must be 4, 8 or 16"
 #endif

constexpr int width = VELTRANE_LANES;
constexpr int perGroup = sineOscillatorGroup / width; // vectors per group of oscillators

/** The table's entry for a position, evaluated. Entry k is sin(x), x = float(k) x step. With
    q the nearest multiple of pi to x (from k: half a table is pi), sin(x) = (-1)^q sin(r) for
    r = x - q pi, which is exact in its leading part (x and q x float(pi) are within a factor
    two) and rounded once for pi's remainder; an odd polynomial of degree 9, fitted to sin's
    relative error on |r| <= pi/2, then stays within one unit of every entry. */
struct TableSine
{
    explicit TableSine (float tableStep)
        : step (splat (tableStep))
    {
    }

    V operator() (V position) const noexcept
    {
        const VI k = andInt (truncate (position), mask);
        const V x = mul (toFloat (k), step);
        const VI q = shiftRight<13> (addInt (k, quarter)); // 0, 1 or 2 halves of the table
        const V qf = toFloat (q);
        V r = fma (qf, minusPiHigh, x);
        r = fma (qf, minusPiLow, r);
        r = flipSign (r, shiftLeft<31> (q));
        const V r2 = mul (r, r);
        V p = fma (c9, r2, c7);
        p = fma (p, r2, c5);
        p = fma (p, r2, c3);
        return fma (mul (r, r2), p, r);
    }

    const V step;
    const VI mask = splatInt (tableMask);
    const VI quarter = splatInt (sineTableLength / 4);
    const V minusPiHigh = splat (-0x1.921fb6p+1f); // float(pi)
    const V minusPiLow = splat (0x1.777a5cp-24f);  // pi - float(pi), rounded
    const V c3 = splat (-0x1.55554cp-3f);
    const V c5 = splat (0x1.110ed4p-7f);
    const V c7 = splat (-0x1.9f6ffep-13f);
    const V c9 = splat (0x1.5dbdeap-19f);
};

void runBlock (const SineOscillatorSpans& o, int count, const TableSine& sine, float* lanes, int samples) noexcept
{
    for (int base = 0; base < count; base += sineOscillatorGroup)
    {
        V p[perGroup], k[perGroup], dk[perGroup], a[perGroup], da[perGroup];
        for (int g = 0; g < perGroup; ++g)
        {
            const int i = base + g * width;
            p[g] = load (o.position + i);
            k[g] = load (o.increment + i);
            dk[g] = load (o.incrementStep + i);
            a[g] = load (o.amplitude + i);
            da[g] = load (o.amplitudeStep + i);
        }
        float* lane = lanes;
        for (int j = 0; j < samples; ++j, lane += width)
        {
            V sum = load (lane);
            for (int g = 0; g < perGroup; ++g)
            {
                sum = fma (a[g], sine (p[g]), sum);
                p[g] = add (p[g], k[g]);
                k[g] = add (k[g], dk[g]);
                a[g] = add (a[g], da[g]);
            }
            store (lane, sum);
        }
        for (int g = 0; g < perGroup; ++g)
        {
            const int i = base + g * width;
            store (o.position + i, p[g]);
            store (o.increment + i, k[g]);
            store (o.amplitude + i, a[g]);
        }
    }
}
#endif
} // namespace

void VELTRANE_LANE_NAME (sineOscillatorLanes) (const SineOscillatorSpans& spans, int count, const float* table,
                                               float tableStep, float* scratch, float* output, int hop,
                                               float scale) noexcept
{
#if VELTRANE_LANES != 4
    const TableSine sine (tableStep);
#else
    (void) tableStep;
#endif
    for (int start = 0; start < hop; start += block)
    {
        const int samples = hop - start < block ? hop - start : block;
        for (int j = 0; j < width * samples; ++j)
            scratch[j] = 0.0f;
#if VELTRANE_LANES == 4
        runBlock (spans, count, table, scratch, samples);
        sumLanes (scratch, output + start, samples, scale);
#else
        (void) table;
        runBlock (spans, count, sine, scratch, samples);
        flush<width> (scratch, output + start, samples, scale);
#endif
    }
}
} // namespace veltrane
