#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace velrender
{
/** What reading a sound file through libsndfile gave. */
enum class LibraryRead
{
    ok,
    notReadable, // the library does not know the file; another reader may
    failed       // the library knows it but cannot use it; error says why
};

/** Reads the first two channels of a sound file through libsndfile, as floats. */
LibraryRead readWithLibrary (const juce::File& file, juce::AudioBuffer<float>& out, double& rate, juce::String& error);

/** True when the output's extension asks for FLAC (any letter case). */
bool wantsFlac (const juce::String& path);

/** Writes 24-bit FLAC, converting samples exactly as the WAVE output does (clipped at full
    scale); false and error on failure. */
bool writeFlac (const juce::File& target, const juce::AudioBuffer<float>& b, double rate, juce::String& error);
} // namespace velrender
