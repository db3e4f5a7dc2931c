#pragma once

#include <cmath>

namespace veltrane
{
/** atan2(y, x) of floats, evaluated in double and rounded once to float, so it agrees with
    a correctly rounded atan2f (a float atan2 call per bin costs more than the transforms).
    Branch-free, so loops over bins vectorise. Signed zeros follow atan2; results for
    infinite or NaN operands are NaN and must be handled by the caller. */
inline float atan2Rounded (float yf, float xf) noexcept
{
    const double x = xf, y = yf;
    const double ax = std::fabs (x), ay = std::fabs (y);
    const double mx = ax > ay ? ax : ay;
    const double mn = ax > ay ? ay : ax;
    const double t = mx > 0.0 ? mn / mx : 0.0; // 0..1
    // Reduce to |u| <= tan(pi/8) where the series converges fast.
    const bool upper = t > 0.41421356237309503;
    const double u = upper ? (t - 1.0) / (t + 1.0) : t;
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
    a = std::signbit (x) ? 3.1415926535897931 - a : a;
    a = std::signbit (y) ? -a : a;
    return (float) a;
}
} // namespace veltrane
