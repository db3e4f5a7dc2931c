#pragma once

#include "VectorClones.h"

#include <cmath>

namespace veltrane
{
/** Wraps a phase (difference) into -pi..pi by whole turns, one subtraction or addition at a
    time as the kernels specify, with pi and twoPi the engine's single-precision constants.
    A value that is not finite counts as 0 and a huge one is reduced first, so the loops
    always end after a few steps whatever a restored parameter holds. */
inline float wrapPhase (float d, float pi, float twoPi) noexcept
{
    if (! std::isfinite (d))
        return 0.0f;
    if (std::fabs (d) > 64.0f * pi)
        d = std::remainder (d, twoPi);
    while (d > pi)
        d -= twoPi;
    while (d < -pi)
        d += twoPi;
    return d;
}

/** wrapPhase for |d| <= 6 pi without branches, so loops over bins vectorise: one turn at a
    time as wrapPhase takes them, and for such d neither of its loops turns more than three
    times. Callers take wrapPhase for the rest (and for values that are not finite). */
VELTRANE_INLINE_IN_CLONES float wrapPhaseThrice (float d, float pi, float twoPi) noexcept
{
    d = d > pi ? d - twoPi : d;
    d = d > pi ? d - twoPi : d;
    d = d > pi ? d - twoPi : d;
    d = d < -pi ? d + twoPi : d;
    d = d < -pi ? d + twoPi : d;
    return d < -pi ? d + twoPi : d;
}

/** atan2(y, x) of floats, evaluated in double and rounded once to float, so it agrees with
    a correctly rounded atan2f (a float atan2 call per bin costs more than the transforms).
    Branch-free, so loops over bins vectorise. Signed zeros follow atan2; results for
    infinite or NaN operands are NaN and must be handled by the caller. */
VELTRANE_INLINE_IN_CLONES float atan2Rounded (float yf, float xf) noexcept
{
    const double x = xf, y = yf;
    const double ax = std::fabs (x), ay = std::fabs (y);
    const double mx = ax > ay ? ax : ay;
    const double mn = ax > ay ? ay : ax;
    // Divisions are unconditional (and selected afterwards) so GCC if-converts the body.
    const double t = mn / (mx > 0.0 ? mx : 1.0); // 0..1
    // Reduce to |u| <= tan(pi/8) where the series converges fast.
    const bool upper = t > 0.41421356237309503;
    const double reduced = (t - 1.0) / (t + 1.0);
    const double u = upper ? reduced : t;
    const double u2 = u * u;
    double p = -1.0 / 25.0;
    p = p * u2 + 1.0 / 23.0;
    p = p * u2 - 1.0 / 21.0;
    p = p * u2 + 1.0 / 19.0;
    p = p * u2 - 1.0 / 17.0;
    p = p * u2 + 1.0 / 15.0;
    p = p * u2 - 1.0 / 13.0;
    p = p * u2 + 1.0 / 11.0;
    p = p * u2 - 1.0 / 9.0;
    p = p * u2 + 1.0 / 7.0;
    p = p * u2 - 1.0 / 5.0;
    p = p * u2 + 1.0 / 3.0;
    p = p * u2 - 1.0;
    double a = (upper ? 0.78539816339744831 : 0.0) - u * p;
    a = ay > ax ? 1.5707963267948966 - a : a;
    // Quadrants from the signs (signed zeros included) by copysign, which vectorises where
    // signbit does not: s = -1 gives pi - a, s = +1 gives 0 + a = a, both exact.
    const double s = std::copysign (1.0, x);
    a = (1.0 - s) * 0.5 * 3.1415926535897931 + s * a;
    a = std::copysign (a, y);
    return (float) a;
}

/** Largest |x| for which sinCosRounded is exact; beyond it callers use the library. */
constexpr float sinCosRoundedLimit = 65536.0f;

/** sin and cos of a float angle (radians), evaluated in double and rounded once to float.
    Branch-free, so loops over bins vectorise; valid for |x| <= sinCosRoundedLimit. */
VELTRANE_INLINE_IN_CLONES void sinCosRounded (float xf, float& sinOut, float& cosOut) noexcept
{
    const double x = xf;
    // x / (pi/2) rounded to the nearest integer, ties to even, as nearbyint does: adding and
    // removing 1.5 x 2^52 is exact for |x| <= sinCosRoundedLimit and vectorises without SSE4.1.
    const double q = (x * 0.63661977236758138 + 6755399441055744.0) - 6755399441055744.0;
    // pi/2 split in two parts so q * pi/2 is subtracted without losing bits.
    const double r = (x - q * 1.5707963267341256) - q * 6.0771005065061922e-11;
    const double r2 = r * r;
    double s = 1.0 / 6227020800.0;
    s = s * r2 - 1.0 / 39916800.0;
    s = s * r2 + 1.0 / 362880.0;
    s = s * r2 - 1.0 / 5040.0;
    s = s * r2 + 1.0 / 120.0;
    s = s * r2 - 1.0 / 6.0;
    s = (s * r2) * r + r;
    double c = -1.0 / 87178291200.0;
    c = c * r2 + 1.0 / 479001600.0;
    c = c * r2 - 1.0 / 3628800.0;
    c = c * r2 + 1.0 / 40320.0;
    c = c * r2 - 1.0 / 720.0;
    c = c * r2 + 1.0 / 24.0;
    c = c * r2 - 0.5;
    c = c * r2 + 1.0;
    const int quadrant = (int) q & 3;
    const double sv = quadrant == 0 ? s : quadrant == 1 ? c : quadrant == 2 ? -s : -c;
    const double cv = quadrant == 0 ? c : quadrant == 1 ? -s : quadrant == 2 ? -c : s;
    sinOut = (float) sv;
    cosOut = (float) cv;
}
} // namespace veltrane
