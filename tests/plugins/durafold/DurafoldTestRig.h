#pragma once

#include "DurafoldAudioProcessor.h"
#include "ProcessorRig.h"

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

/** The suite's processor rig over a durafold processor at 44.1 kHz, fed with the test
    signal; time counts from the first block. */
struct Rig
{
    explicit Rig (int channels = 2)
        : host (*proc, channels, 512, 44100.0)
    {
    }

    /** The next n input samples as a buffer, not yet processed (the time moves on). */
    juce::AudioSampleBuffer block (int n)
    {
        juce::AudioSampleBuffer b (host.buffer.getNumChannels(), n);
        for (int c = 0; c < b.getNumChannels(); ++c)
            for (int i = 0; i < n; ++i)
                b.setSample (c, i, signal (host.time + i, c));
        host.time += n;
        return b;
    }

    /** The next n samples processed; returns the output. */
    juce::AudioSampleBuffer run (int n)
    {
        return host.block (n, [] (int c, std::int64_t t) { return signal (t, c); });
    }

    void set (int i, float p) { proc->setParameter (i, p); }

    std::unique_ptr<DurafoldAudioProcessor> proc = std::make_unique<DurafoldAudioProcessor>();
    veltrane_test::ProcessorRig host;
    std::int64_t& time = host.time;
};

/** Normalized "stretch" for a stretch factor. */
inline float stretchFor (double factor) { return (float) (0.5 * std::log10 (factor)); }
} // namespace durafoldtest
