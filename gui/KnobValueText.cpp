#include "KnobValueText.h"

#include <cmath>

namespace veltrane
{
namespace
{
juce::String withDecimals (double v, int n) { return juce::String (v, n); }

/** Scaled value v in thousands with the unit letter once it reaches 1000. */
juce::String thousandsText (double v, const char* unit)
{
    if (v < 1000.0)
        return withDecimals (v, 1);
    return withDecimals (v * 0.001, 1) + unit;
}

const char* pickName (double v, std::initializer_list<const char*> names)
{
    // names[k] for k <= v < k + 1, the last name for everything above (and for NaN).
    int k = 0;
    for (auto* n : names)
    {
        if (v < (double) (k + 1) || k + 1 == (int) names.size())
            return n;
        ++k;
    }
    return "";
}
} // namespace

juce::String wholeNumberText (double v)
{
    if (! (std::fabs (v) < 1.0e15))
        return juce::String (v, 0); // "inf", "nan", or a huge value in exponent form
    return juce::String ((juce::int64) std::llround (v));
}

juce::String knobValueText (const juce::String& name, double v, const juce::String& pitchText)
{
    auto is = [&name] (const char* n) { return name.equalsIgnoreCase (n); };

    if (is ("timeslider"))
        return thousandsText (v, "s");
    if (is ("freqslider") || is ("filterhifreqslider") || is ("filterlofreqslider"))
        return thousandsText (v, "k");
    if (is ("ratioslider"))
    {
        const float r = (float) v;
        if (r >= 1.0f)
            return "1:" + withDecimals (r, 1);
        return withDecimals (1.0f / r, 1) + ":1";
    }
    if (is ("lfoshapeslider"))
        return pickName (v, { "ramp", "sine", "tri", "square", "rand" });
    if (is ("lfoshapeslider3"))
        return pickName (v, { "sine", "tri", "rand" });
    if (is ("lfoshapeslider6"))
        return pickName (v, { "sine", "tri", "square", "ramp+", "ramp-", "rand" });
    if (is ("bandsslider"))
        return wholeNumberText (std::exp2 (std::trunc (std::log2 (v))));
    if (is ("responseslider") || is ("voicesslider"))
        return wholeNumberText (v);
    if (is ("rateslider"))
        return withDecimals (v, 2);
    if (is ("pitchslider"))
        return pitchText;
    if (v > -10.0 && v < 10.0)
        return withDecimals (v, 2);
    return withDecimals (v, 1);
}
} // namespace veltrane
