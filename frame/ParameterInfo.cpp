#include "ParameterInfo.h"

#include <cmath>

namespace veltrane
{
float toScaled (const ParameterInfo& info, float p) noexcept
{
    switch (info.kind)
    {
        case Conversion::linear:
            return info.a * p + info.b;
        case Conversion::exp2:
            return std::exp2 (info.a * p + info.b);
        case Conversion::exp10:
            return std::pow (10.0f, info.a * p + info.b);
        case Conversion::stepped:
            return std::trunc (info.a * p + info.b);
        case Conversion::identity:
        default:
            return p;
    }
}

float toNormalized (const ParameterInfo& info, float s) noexcept
{
    switch (info.kind)
    {
        case Conversion::linear:
            return (s - info.b) * info.c;
        case Conversion::exp2:
            return (std::log2 (s) - info.b) * info.c;
        case Conversion::exp10:
            return (std::log10 (s) - info.b) * info.c;
        case Conversion::stepped:
            return (std::trunc (s) - info.b) * info.c;
        case Conversion::identity:
        default:
            return s;
    }
}
} // namespace veltrane
