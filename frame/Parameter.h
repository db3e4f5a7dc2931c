#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>

namespace veltrane
{
class VeltraneProcessor;

/** One row of the parameter table as hosts see it: the normalized value, unclamped, in
    an atomic float that the audio thread polls; a stable ID that every format uses.
    Text, default and the value for typed text come from the owning processor. */
class Parameter final : public juce::AudioProcessorParameterWithID
{
public:
    Parameter (VeltraneProcessor& owner, int index, const juce::String& id, const juce::String& name, bool meta,
               float initialValue);

    float getValue() const override { return value.load (std::memory_order_relaxed); }
    void setValue (float newValue) override { value.store (newValue, std::memory_order_relaxed); }
    float getDefaultValue() const override;
    juce::String getText (float normalizedValue, int maximumStringLength) const override;
    float getValueForText (const juce::String& text) const override;

    std::atomic<float> value;

private:
    VeltraneProcessor& owner;
    const int index;
};
} // namespace veltrane
