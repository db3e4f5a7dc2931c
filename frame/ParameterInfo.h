#pragma once

namespace veltrane
{
/** How a parameter's scaled value (its own units) follows from the stored normalized value. */
enum class Conversion
{
    identity, // s = p
    linear,   // s = a p + b;          p = (s - b) c
    exp2,     // s = 2^(a p + b);      p = (log2 s - b) c
    exp10,    // s = 10^(a p + b);     p = (log10 s - b) c
    stepped   // s = trunc(a p + b);   back conversion is the plug-in's own
};

/** One row of a plug-in's parameter table. */
struct ParameterInfo
{
    const char* name; // exact text of getParameterName
    Conversion kind;
    float a, b;              // forward constants
    float c;                 // float nearest 1/a, used by the back conversion
    float minimum;           // scaled minimum reported to hosts
    float maximum;           // scaled maximum
    float scaledDefault;     // scaled default
    float normalizedDefault; // normalized default (getParameterDefaultValue)
    float initial;           // normalized value at construction
    bool meta = false;       // isMetaParameter
};

/** Scaled value of p by the row's conversion, in single precision, never clamped. */
float toScaled (const ParameterInfo& info, float p) noexcept;
/** Normalized value of s by the row's back conversion, never clamped. */
float toNormalized (const ParameterInfo& info, float s) noexcept;
} // namespace veltrane
