#include "TransformSize.h"

#include <cmath>

namespace veltrane
{
int transformSizeForBands (float bands, float valueForNaN) noexcept
{
    const float p = std::isnan (bands) ? valueForNaN : bands;
    float e = std::floor (10.0f * p + 3.0f);
    if (! (e >= 3.0f))
        e = 3.0f;
    if (e > 13.0f)
        e = 13.0f;
    return 2 << (int) e;
}
} // namespace veltrane
