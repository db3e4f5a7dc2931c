#pragma once

#include "TonalithAudioProcessor.h"

#include <functional>
#include <vector>

namespace tonalith_test
{
/** The suite's processor rig (without prepareToPlay) over `samples` samples in blocks of
    `block`, every channel fed with source(t), MIDI with the first block; channel 0's output. */
std::vector<float> run (TonalithAudioProcessor& p, int samples, const std::function<float (int)>& source,
                        int channels = 2, int block = 512, juce::MidiBuffer* midi = nullptr);

/** Runs the processor just long enough for one frame at the construction size. */
void runFirstFrame (TonalithAudioProcessor& p);

/** Frequency in Hz of a steady tone from its rising zero crossings (interpolated). */
double zeroCrossingFrequency (const std::vector<float>& x, int from, double sampleRate);

/** A halfcomplex spectrum of N floats with bin k at magnitude m and phase theta. */
void setBin (std::vector<float>& spectrum, int n, int k, float m, float theta);
} // namespace tonalith_test
