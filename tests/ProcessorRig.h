#pragma once

// Drives a processor block by block as a host would, for the processor and kernel tests of
// every plug-in.

#include <juce_audio_processors/juce_audio_processors.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace veltrane_test
{
/** Input sample of a channel at a sample time counted from the rig's first block. */
using Input = std::function<float (int channel, std::int64_t time)>;

/** A processor, its buffer and its running time. MIDI placed in `midi` goes with the next
    block only. */
class ProcessorRig
{
public:
    explicit ProcessorRig (juce::AudioProcessor& p, int channels = 2, int samplesPerBlock = 512,
                           double sampleRate = 48000.0, bool prepare = true)
        : processor (p),
          blockSize (samplesPerBlock)
    {
        if (prepare)
            p.prepareToPlay (sampleRate, samplesPerBlock);
        buffer.setSize (channels, samplesPerBlock);
        buffer.clear();
    }

    /** One block of n samples from input (silence without), the time moving on by n. */
    juce::AudioBuffer<float>& block (int n, const Input& input = {})
    {
        buffer.setSize (buffer.getNumChannels(), n, false, false, true);
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < n; ++i)
                buffer.setSample (c, i, input ? input (c, time + i) : 0.0f);
        processor.processBlock (buffer, midi);
        midi.clear();
        time += n;
        return buffer;
    }

    /** `samples` samples in blocks of the rig's size; returns one channel's output. */
    std::vector<float> run (int samples, const Input& input = {}, int channel = 0)
    {
        std::vector<float> out;
        out.reserve ((size_t) samples);
        for (int done = 0; done < samples;)
        {
            const int n = std::min (blockSize, samples - done);
            block (n, input);
            for (int i = 0; i < n; ++i)
                out.push_back (buffer.getSample (channel, i));
            done += n;
        }
        return out;
    }

    juce::AudioProcessor& processor;
    int blockSize;
    std::int64_t time = 0;
    juce::AudioBuffer<float> buffer;
    juce::MidiBuffer midi;
};

/** The same signal in every channel: a function of the sample time alone. */
inline Input mono (std::function<float (std::int64_t)> f)
{
    return [f = std::move (f)] (int, std::int64_t t) { return f (t); };
}
} // namespace veltrane_test
