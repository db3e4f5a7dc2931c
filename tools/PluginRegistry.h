#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>
#include <vector>

namespace veltrane
{
/** A plug-in of the suite linked into this program, by its lower-case name. */
struct RegisteredPlugin
{
    const char* name;
    std::function<std::unique_ptr<juce::AudioProcessor>()> create;
};

/** Every plug-in the build declared, in name order. */
const std::vector<RegisteredPlugin>& registeredPlugins();
} // namespace veltrane
