// The vector half of VectorMath.h, compiled once per vector width (VELTRANE_LANES 4, 8 or
// 16, with the instruction set that width needs); VectorMath.cpp picks one at load time.
// The functions are SLEEF's single-precision ones with a 1.0 ulp bound.

#include "PhaseMath.h"

#include <cmath>
#include <immintrin.h>
#include <sleef.h>

#define VELTRANE_LANE_CAT2(a, b) a##b
#define VELTRANE_LANE_CAT(a, b) VELTRANE_LANE_CAT2 (a, b)
#define VELTRANE_LANE_NAME(name) VELTRANE_LANE_CAT (name, VELTRANE_LANES)

namespace veltrane
{
namespace
{
#if VELTRANE_LANES == 16
using Lanes = __m512;
inline Lanes load (const float* p) noexcept { return _mm512_loadu_ps (p); }
inline void store (float* p, Lanes v) noexcept { _mm512_storeu_ps (p, v); }
inline Lanes atan2Lanes (Lanes y, Lanes x) noexcept { return Sleef_atan2f16_u10avx512f (y, x); }
inline Sleef___m512_2 sinCosLanes (Lanes a) noexcept { return Sleef_sincosf16_u10avx512f (a); }
inline bool allBelow (Lanes a, float limit) noexcept
{
    return _mm512_cmp_ps_mask (_mm512_abs_ps (a), _mm512_set1_ps (limit), _CMP_LT_OQ) == 0xffff;
}
#elif VELTRANE_LANES == 8
using Lanes = __m256;
inline Lanes load (const float* p) noexcept { return _mm256_loadu_ps (p); }
inline void store (float* p, Lanes v) noexcept { _mm256_storeu_ps (p, v); }
inline Lanes atan2Lanes (Lanes y, Lanes x) noexcept { return Sleef_atan2f8_u10avx2 (y, x); }
inline Sleef___m256_2 sinCosLanes (Lanes a) noexcept { return Sleef_sincosf8_u10avx2 (a); }
inline bool allBelow (Lanes a, float limit) noexcept
{
    const Lanes magnitude = _mm256_andnot_ps (_mm256_set1_ps (-0.0f), a);
    return _mm256_movemask_ps (_mm256_cmp_ps (magnitude, _mm256_set1_ps (limit), _CMP_LT_OQ)) == 0xff;
}
#elif VELTRANE_LANES == 4
using Lanes = __m128;
inline Lanes load (const float* p) noexcept { return _mm_loadu_ps (p); }
inline void store (float* p, Lanes v) noexcept { _mm_storeu_ps (p, v); }
inline Lanes atan2Lanes (Lanes y, Lanes x) noexcept { return Sleef_atan2f4_u10sse2 (y, x); }
inline Sleef___m128_2 sinCosLanes (Lanes a) noexcept { return Sleef_sincosf4_u10sse2 (a); }
inline bool allBelow (Lanes a, float limit) noexcept
{
    const Lanes magnitude = _mm_andnot_ps (_mm_set1_ps (-0.0f), a);
    return _mm_movemask_ps (_mm_cmplt_ps (magnitude, _mm_set1_ps (limit))) == 0xf;
}
#else
 #error "VELTRANE_LANES must be 4, 8 or 16"
#endif
constexpr int width = VELTRANE_LANES;

// SLEEF's sincos reduces an argument of 125 or more by its exact, slow method for the whole
// vector, and the phase vocoders' running phases stay out there for long stretches. Such a
// vector takes the double-evaluated formula instead (one rounding of a double result, so
// within the same bound), and the library beyond that formula's range.
constexpr float fastReductionLimit = 125.0f;

void sinCosWide (const float* angle, float* sinOut, float* cosOut) noexcept
{
    bool inRange = true;
    for (int j = 0; j < width; ++j)
        inRange &= std::fabs (angle[j]) <= sinCosRoundedLimit;
    if (inRange)
    {
        for (int j = 0; j < width; ++j)
            sinCosRounded (angle[j], sinOut[j], cosOut[j]);
        return;
    }
    const auto r = sinCosLanes (load (angle));
    store (sinOut, r.x);
    store (cosOut, r.y);
}
} // namespace

void VELTRANE_LANE_NAME (atan2Lanes) (const float* y, const float* x, float* out, int count) noexcept
{
    int i = 0;
    for (; i + width <= count; i += width)
        store (out + i, atan2Lanes (load (y + i), load (x + i)));
    if (i == count)
        return;
    // The last few through one padded vector.
    float ty[width] {}, tx[width] {}, to[width];
    for (int j = 0; i + j < count; ++j)
    {
        ty[j] = y[i + j];
        tx[j] = x[i + j];
    }
    store (to, atan2Lanes (load (ty), load (tx)));
    for (int j = 0; i + j < count; ++j)
        out[i + j] = to[j];
}

void VELTRANE_LANE_NAME (sinCosLanes) (const float* angle, float* sinOut, float* cosOut, int count) noexcept
{
    int i = 0;
    for (; i + width <= count; i += width)
    {
        const Lanes a = load (angle + i);
        if (! allBelow (a, fastReductionLimit))
        {
            sinCosWide (angle + i, sinOut + i, cosOut + i);
            continue;
        }
        const auto r = sinCosLanes (a);
        store (sinOut + i, r.x);
        store (cosOut + i, r.y);
    }
    if (i == count)
        return;
    float ta[width] {}, ts[width], tc[width];
    for (int j = 0; i + j < count; ++j)
        ta[j] = angle[i + j];
    if (allBelow (load (ta), fastReductionLimit))
    {
        const auto r = sinCosLanes (load (ta));
        store (ts, r.x);
        store (tc, r.y);
    }
    else
        sinCosWide (ta, ts, tc);
    for (int j = 0; i + j < count; ++j)
    {
        sinOut[i + j] = ts[j];
        cosOut[i + j] = tc[j];
    }
}
} // namespace veltrane
