#include "Parameter.h"

#include "VeltraneProcessor.h"

namespace veltrane
{
Parameter::Parameter (VeltraneProcessor& ownerIn, int indexIn, const juce::String& id, const juce::String& nameIn,
                      bool isMeta, float initialValue)
    : juce::AudioProcessorParameterWithID (juce::ParameterID (id, 1), nameIn,
                                           juce::AudioProcessorParameterWithIDAttributes().withMeta (isMeta)),
      value (initialValue),
      owner (ownerIn),
      index (indexIn)
{
}

float Parameter::getDefaultValue() const { return owner.getParameterInfo (index)->normalizedDefault; }

juce::String Parameter::getText (float normalizedValue, int maximumStringLength) const
{
    return owner.textForValue (index, normalizedValue).substring (0, maximumStringLength);
}

float Parameter::getValueForText (const juce::String& text) const
{
    return owner.valueForText (index, text, getValue());
}
} // namespace veltrane
