#pragma once

// The suite's processors for the fuzz targets: made once per fuzzing process (a plug-in's
// construction costs far more than one input), prepared as a host would.

#include "PluginRegistry.h"

#include <juce_events/juce_events.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace veltrane_fuzz
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 256; // samples

/** One prepared instance of every registered plug-in, in registry order, and its state at
    construction. */
struct PluginSet
{
    explicit PluginSet (const std::vector<const char*>& names = {})
    {
        (void) juce;
        for (const auto& p : veltrane::registeredPlugins())
        {
            bool wanted = names.empty();
            for (const char* n : names)
                wanted = wanted || juce::String (n) == p.name;
            if (! wanted)
                continue;
            auto processor = p.create();
            processor->setRateAndBufferSizeDetails (sampleRate, blockSize);
            processor->prepareToPlay (sampleRate, blockSize);
            juce::MemoryBlock state;
            processor->getStateInformation (state);
            instances.push_back (std::move (processor));
            initialStates.push_back (state);
        }
    }

    /** Back to the state a fresh instance has. */
    void reset (size_t i)
    {
        instances[i]->setStateInformation (initialStates[i].getData(), (int) initialStates[i].getSize());
    }

    // The fuzzing thread is the message thread. Never shut down: the fuzzer ends by exit(),
    // after JUCE's own statics are gone.
    juce::ScopedJuceInitialiser_GUI* juce = new juce::ScopedJuceInitialiser_GUI;
    std::vector<std::unique_ptr<juce::AudioProcessor>> instances;
    std::vector<juce::MemoryBlock> initialStates;
};

/** A deterministic test signal: two partials and a little noise, at studio level. */
inline void fillInput (juce::AudioBuffer<float>& buffer, std::int64_t start)
{
    std::uint32_t noise = 22222u + (std::uint32_t) start;
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const double t = (double) (start + i) / sampleRate;
            noise = noise * 1664525u + 1013904223u;
            buffer.setSample (c, i,
                              (float) (0.3 * std::sin (2.0 * 3.14159265358979 * 220.0 * t)
                                       + 0.2 * std::sin (2.0 * 3.14159265358979 * 1375.0 * t + c)
                                       + 0.01 * ((double) (noise >> 8) / 16777216.0 - 0.5)));
        }
}

/** True when every parameter holds a value in 0..1, the range hosts and editors give. Saved
    states may hold any float, kept as it is; far outside the range the plug-ins' own gain
    formulas give infinite levels, so finite output is only asked for within it. */
inline bool parametersInRange (const juce::AudioProcessor& p)
{
    for (auto* parameter : p.getParameters())
        if (! (parameter->getValue() >= 0.0f && parameter->getValue() <= 1.0f))
            return false;
    return true;
}

/** Stops the fuzzer with a report when the output holds a value that is not finite. */
inline void requireFinite (const juce::AudioBuffer<float>& buffer, const char* what)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (c, i)))
            {
                std::fprintf (stderr, "%s: output sample %d of channel %d is %g\n", what, i, c,
                              (double) buffer.getSample (c, i));
                std::abort();
            }
}
} // namespace veltrane_fuzz
