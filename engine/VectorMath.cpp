#include "VectorMath.h"

#include "PhaseMath.h"
#include "VectorClones.h"

#include <cmath>

namespace veltrane
{
namespace
{
/** The plain path: double evaluation rounded once (the library's for what the fast
    formulas do not cover: infinities, and NaN, which their selects may not carry through). */
void atan2Plain (const float* y, const float* x, float* out, int count) noexcept
{
    for (int i = 0; i < count; ++i)
        out[i] = ! std::isfinite (y[i]) || ! std::isfinite (x[i]) ? (float) std::atan2 ((double) y[i], (double) x[i])
                                                                  : atan2Rounded (y[i], x[i]);
}

void sinCosPlain (const float* angle, float* sinOut, float* cosOut, int count) noexcept
{
    for (int i = 0; i < count; ++i)
    {
        const float a = angle[i];
        if (std::fabs (a) <= sinCosRoundedLimit)
            sinCosRounded (a, sinOut[i], cosOut[i]);
        else
        {
            sinOut[i] = (float) std::sin ((double) a);
            cosOut[i] = (float) std::cos ((double) a);
        }
    }
}
} // namespace

#if defined(VELTRANE_VECTOR_WIDTHS)

// VectorMathLanes.cpp, once per width.
void atan2Lanes4 (const float*, const float*, float*, int) noexcept;
void atan2Lanes8 (const float*, const float*, float*, int) noexcept;
void atan2Lanes16 (const float*, const float*, float*, int) noexcept;
void sinCosLanes4 (const float*, float*, float*, int) noexcept;
void sinCosLanes8 (const float*, float*, float*, int) noexcept;
void sinCosLanes16 (const float*, float*, float*, int) noexcept;

namespace
{
decltype (&atan2Lanes4) atan2At (int lanes) noexcept
{
    return lanes == 16 ? atan2Lanes16 : lanes == 8 ? atan2Lanes8 : lanes == 4 ? atan2Lanes4 : atan2Plain;
}

decltype (&sinCosLanes4) sinCosAt (int lanes) noexcept
{
    return lanes == 16 ? sinCosLanes16 : lanes == 8 ? sinCosLanes8 : lanes == 4 ? sinCosLanes4 : sinCosPlain;
}
} // namespace

// Resolved by the loader, as the cloned loops are.
extern "C"
{
    static decltype (&atan2Lanes4) veltraneResolveAtan2Span() noexcept { return atan2At (widestVectorLanes()); }
    static decltype (&sinCosLanes4) veltraneResolveSinCosSpan() noexcept { return sinCosAt (widestVectorLanes()); }
}

__attribute__ ((ifunc ("veltraneResolveAtan2Span"))) void atan2Span (const float*, const float*, float*, int) noexcept;
__attribute__ ((ifunc ("veltraneResolveSinCosSpan"))) void sinCosSpan (const float*, float*, float*, int) noexcept;

bool vectorMathRuns (int lanes) noexcept
{
    return lanes == 1 || ((lanes == 4 || lanes == 8 || lanes == 16) && lanes <= widestVectorLanes());
}

bool atan2SpanAt (int lanes, const float* y, const float* x, float* out, int count) noexcept
{
    if (! vectorMathRuns (lanes))
        return false;
    atan2At (lanes) (y, x, out, count);
    return true;
}

bool sinCosSpanAt (int lanes, const float* angle, float* sinOut, float* cosOut, int count) noexcept
{
    if (! vectorMathRuns (lanes))
        return false;
    sinCosAt (lanes) (angle, sinOut, cosOut, count);
    return true;
}

#else

void atan2Span (const float* y, const float* x, float* out, int count) noexcept { atan2Plain (y, x, out, count); }

void sinCosSpan (const float* angle, float* sinOut, float* cosOut, int count) noexcept
{
    sinCosPlain (angle, sinOut, cosOut, count);
}

bool vectorMathRuns (int lanes) noexcept { return lanes == 1; }

bool atan2SpanAt (int lanes, const float* y, const float* x, float* out, int count) noexcept
{
    if (lanes != 1)
        return false;
    atan2Plain (y, x, out, count);
    return true;
}

bool sinCosSpanAt (int lanes, const float* angle, float* sinOut, float* cosOut, int count) noexcept
{
    if (lanes != 1)
        return false;
    sinCosPlain (angle, sinOut, cosOut, count);
    return true;
}

#endif
} // namespace veltrane
