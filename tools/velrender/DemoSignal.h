#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace velrender
{
/** A short stereo test signal that shows what a spectral effect does: a harmonic tone with
    a gliding partial, a chord, a noise burst and a few clicks. */
juce::AudioBuffer<float> makeDemoSignal (double sampleRate, double seconds = 4.0);
} // namespace velrender
