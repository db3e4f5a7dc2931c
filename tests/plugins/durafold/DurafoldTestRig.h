#pragma once

#include "DurafoldAudioProcessor.h"

#include <cmath>
#include <cstdint>
#include <memory>

namespace durafoldtest
{
/** Deterministic noise plus two partials, so every bin of a frame carries energy. */
inline float signal (std::int64_t t, int channel)
{
    std::uint32_t x = (std::uint32_t) (t * 2654435761u + (std::uint32_t) channel * 40503u);
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    const float noise = ((float) (x & 0xffff) / 32768.0f - 1.0f) * 0.05f;
    const double tt = (double) t / 44100.0;
    return noise + 0.3f * (float) std::sin (2.0 * 3.141592653589793 * 440.0 * tt)
           + 0.2f * (float) std::sin (2.0 * 3.141592653589793 * (1234.5 + 100.0 * channel) * tt);
}

/** A processor fed with the test signal block by block, time counted from its first block. */
struct Rig
{
    explicit Rig (int channelsIn = 2) : channels (channelsIn) { proc->prepareToPlay (44100.0, 512); }

    juce::AudioSampleBuffer block (int n)
    {
        juce::AudioSampleBuffer b (channels, n);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < n; ++i)
                b.setSample (c, i, signal (time + i, c));
        time += n;
        return b;
    }

    juce::AudioSampleBuffer run (int n)
    {
        auto b = block (n);
        juce::MidiBuffer midi;
        proc->processBlock (b, midi);
        return b;
    }

    void set (int i, float p) { proc->setParameter (i, p); }

    std::unique_ptr<DurafoldAudioProcessor> proc = std::make_unique<DurafoldAudioProcessor>();
    int channels;
    std::int64_t time = 0;
};

/** Normalized "stretch" for a stretch factor. */
inline float stretchFor (double factor) { return (float) (0.5 * std::log10 (factor)); }
} // namespace durafoldtest
