#include "WindowShapes.h"

#include <cmath>

namespace veltrane
{
float besselI0 (float halfX) noexcept
{
    float t = 1.0f, s = 1.0f;
    for (int m = 1; m <= 25; ++m)
    {
        t = t * halfX / (float) m;
        s = s + t * t;
        if (t * t < 1e-8f * s)
            break;
    }
    return s;
}

static void fillKaiser (float* w, int n) noexcept
{
    const float d = besselI0 (3.4f);
    const float nm1 = (float) (n - 1);
    const float nm1Squared = nm1 * nm1;
    for (int j = 0; j < n / 2; ++j)
    {
        const double a = 6.8 * std::sqrt (1.0 - 4.0 * (double) j * (double) j / (double) nm1Squared);
        const float v = besselI0 ((float) a * 0.5f) / d;
        w[n / 2 + j] = v;
        w[n / 2 - j] = v;
    }
    w[0] = 0.0f;
    w[n - 1] = 0.0f;
}

void fillWindow (int kind, float* w, int n, float twoPi) noexcept
{
    if (kind == kaiserWindow)
    {
        fillKaiser (w, n);
        return;
    }
    const float nm1 = (float) (n - 1);
    for (int k = 0; k < n; ++k)
    {
        const float angle = (float) k * twoPi / nm1;
        switch (kind)
        {
            case raisedCosineWindow:
                w[k] = 0.5f - 0.4f * std::cos (angle);
                break;
            case blackmanWindow:
                w[k] = 0.42f - 0.5f * std::cos (angle) + 0.08f * std::cos ((float) k * 2.0f * twoPi / nm1);
                break;
            default:
                w[k] = 0.54f - 0.46f * std::cos (angle);
                break;
        }
    }
}
} // namespace veltrane
