#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace veltrane::testing
{
/** One bundle of the suite found on disk, in one format. */
struct Bundle
{
    std::string plugin;   // lower-case name, e.g. "quorrel"
    std::string format;   // "VST3" or "LV2"
    std::string location; // bundle path (VST3) or URI (LV2)
};

/** Every bundle of the suite under VELTRANE_PLUGIN_PREFIX (lib/vst3, lib/lv2) or, without
    it, in the build's artefacts. */
std::vector<Bundle> findBundles();

/** The host's description of a bundle's plug-in (what a host's scan finds); nullptr and a
    message on failure. */
std::unique_ptr<juce::PluginDescription> describe (const Bundle& bundle, juce::String& error);

/** A new instance from that description, prepared at the given rate and block size; nullptr
    and a message on failure. */
std::unique_ptr<juce::AudioPluginInstance> instantiate (const Bundle& bundle,
                                                        const juce::PluginDescription& description, double rate,
                                                        int block, juce::String& error);

/** Loads a bundle through JUCE's hosting at the given rate and block size (describe, then
    instantiate); nullptr and a message on failure. */
std::unique_ptr<juce::AudioPluginInstance> load (const Bundle& bundle, double rate, int block, juce::String& error);

/** The same plug-in linked directly, for comparison. */
std::unique_ptr<juce::AudioProcessor> createDirect (const std::string& plugin);

/** Printable test name for a bundle. */
std::string bundleName (const Bundle& b);
} // namespace veltrane::testing

namespace veltrane::testing
{
/** The plug-in's own parameter values inside a hosted instance, read from the state the
    host saves (VST3 carries the plug-in's state bytes); nothing where the host's state does
    not carry them. */
std::optional<std::vector<float>> pluginValuesFromHostState (juce::AudioPluginInstance& hosted,
                                                             const std::string& plugin);

/** The plug-in's own parameter objects in a hosted instance, in the plug-in's order. */
juce::Array<juce::AudioProcessorParameter*> ownParameters (juce::AudioProcessor& hosted,
                                                           juce::AudioProcessor& reference);
} // namespace veltrane::testing

namespace veltrane::testing
{
/** Runs the message loop for about the given time, as a host's message thread would. */
void pumpMessages (int milliseconds);

/** Dispatches what is pending, until nothing is (at most limitMilliseconds). A hosted
    editor must outlive what its window's events queued for it: JUCE 7.0.5's embedding
    component posts callbacks that hold a plain pointer to itself, and one dispatched after
    the editor is gone touches freed memory. */
void drainMessages (int limitMilliseconds);
} // namespace veltrane::testing
