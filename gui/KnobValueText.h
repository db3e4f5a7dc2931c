#pragma once

#include <juce_core/juce_core.h>

namespace veltrane
{
/** The text a large knob prints for value v, chosen by the knob's component name
    (case-insensitive): times, frequencies, ratios, shape names, band counts, whole
    counts, rates, the pitch text, or the value with two or one decimals. */
juce::String knobValueText (const juce::String& name, double v, const juce::String& pitchText = {});

/** v with no decimals: rounded to the nearest whole number (non-finite values as such). */
juce::String wholeNumberText (double v);
} // namespace veltrane
