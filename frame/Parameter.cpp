#include "Parameter.h"

#include "VeltraneProcessor.h"

namespace veltrane
{
Parameter::Parameter (VeltraneProcessor& ownerIn, int indexIn, juce::String idIn, float initialValue)
    : value (initialValue), owner (ownerIn), index (indexIn), id (std::move (idIn))
{
}

float Parameter::getDefaultValue() const { return owner.getParameterInfo (index)->normalizedDefault; }

juce::String Parameter::getName (int maximumStringLength) const
{
    return juce::String (owner.getParameterInfo (index)->name).substring (0, maximumStringLength);
}

juce::String Parameter::getText (float normalizedValue, int maximumStringLength) const
{
    return owner.textForValue (index, normalizedValue).substring (0, maximumStringLength);
}

float Parameter::getValueForText (const juce::String& text) const
{
    return owner.normalizedFromScaled (index, text.getFloatValue());
}

bool Parameter::isMetaParameter() const { return owner.getParameterInfo (index)->meta; }
} // namespace veltrane
