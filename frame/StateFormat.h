#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <string>
#include <vector>

namespace veltrane
{
/** The suite's saved-state bytes: magic "VC2!", little-endian length L, one line of XML
    without declaration (tag, pluginVersion, presetName, one attribute per parameter),
    and a zero byte. */
struct StateFormat
{
    static constexpr juce::uint32 magic = 0x21324356;

    /** An attribute of a plug-in's own after the parameters (a text, escaped as XML wants). */
    struct Extra
    {
        juce::String name, text;
    };

    /** Builds the bytes. A name given twice keeps its first position and the later value.
        Extras follow the parameters in their order; without them the bytes are the plain
        format's, which readers of it also take with extras (they ignore other attributes). */
    static juce::MemoryBlock write (const juce::String& tag, const juce::String& presetName,
                                    const std::vector<juce::String>& names, const std::vector<float>& values,
                                    const std::vector<Extra>& extras = {});

    struct Restored
    {
        juce::String presetName;
        std::vector<float> values;        // one per requested name; 0 where absent or not a number
        std::vector<juce::String> extras; // one per requested extra name; empty where absent
    };

    /** Parses the bytes; nothing when they are short, have the wrong magic or length,
        do not parse, or carry another tag (compared without regard to case). */
    static std::optional<Restored> read (const void* data, int size, const juce::String& tag,
                                         const std::vector<juce::String>& names,
                                         const std::vector<juce::String>& extraNames = {});
};
} // namespace veltrane
