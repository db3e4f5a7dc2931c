#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <string>
#include <vector>

namespace velrender
{
/** One --set (scaled units) or --norm (normalized) assignment, by name or index. */
struct Assignment
{
    juce::String parameter;
    float value = 0.0f;
    bool normalized = false;
};

/** Everything the command line asks for. */
struct RenderOptions
{
    juce::String plugin;
    std::vector<Assignment> assignments;
    std::vector<std::pair<int, juce::String>> layerFiles; // --layer-file N=PATH (1-based layer)
    bool list = false;
    bool floatOutput = false; // 32-bit float WAV instead of 24-bit
    bool compensate = false;  // drop the reported latency from the start
    bool dry = false;         // write the (generated or resampled) input unprocessed
    int blockSize = 512;      // host block size in samples
    double rate = 0.0;        // output sample rate in Hz; 0 keeps the input's
    double tailSeconds = 0.0; // silence rendered past the input
    double tempo = 0.0;       // host tempo in beats per minute; 0 = no play head
    juce::String stateFile, saveStateFile, midiFile;
    juce::String input, output; // input empty: the generated demo signal
};

/** Command-line arguments (bytes) as text. Refuses an argument that is not valid UTF-8: JUCE's
    strings built from such bytes can lose their terminator. */
std::optional<juce::StringArray> argumentsFromBytes (const std::vector<std::string>& args, juce::String& error);

/** Parses argv; on failure returns nothing and sets error to a message for the user. */
std::optional<RenderOptions> parseOptions (const juce::StringArray& args, juce::String& error);

/** The usage text. */
juce::String usage();
} // namespace velrender
