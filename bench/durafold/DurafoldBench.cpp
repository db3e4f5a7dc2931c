// Real-time factor of durafold in its heavy configurations: stereo, 48 kHz, 512-sample
// blocks of noise plus partials. Reports the mean and worst CPU time of a block (the
// thread's own CPU time, so other work on a shared machine does not count) and the
// realtime factor, seconds of audio per CPU second.

#include "DurafoldAudioProcessor.h"

#include <benchmark/benchmark.h>
#include <juce_events/juce_events.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include <time.h>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr int preparedBlocks = 64;

/** Noise plus three partials per channel, made before timing starts. */
std::vector<juce::AudioSampleBuffer> makeInput()
{
    std::vector<juce::AudioSampleBuffer> blocks;
    std::uint32_t seed = 1;
    std::int64_t t = 0;
    for (int b = 0; b < preparedBlocks; ++b)
    {
        juce::AudioSampleBuffer buf (2, blockSize);
        for (int i = 0; i < blockSize; ++i, ++t)
            for (int c = 0; c < 2; ++c)
            {
                seed = seed * 1664525u + 1013904223u;
                const float noise = ((float) (seed >> 8) / 8388608.0f - 1.0f) * 0.05f;
                const double x = (double) t / sampleRate;
                float v = noise;
                for (int k = 1; k <= 3; ++k)
                    v += 0.15f * (float) std::sin (2.0 * 3.141592653589793 * (220.0 * k + 3.0 * c) * x);
                buf.setSample (c, i, v);
            }
        blocks.push_back (std::move (buf));
    }
    return blocks;
}

/** CPU time consumed by the calling thread, in seconds. */
double threadCpuSeconds()
{
    timespec ts {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double) ts.tv_sec + 1.0e-9 * (double) ts.tv_nsec;
}

struct Setting
{
    int index;
    float value;
};

void runDurafold (benchmark::State& state, std::vector<Setting> settings)
{
    juce::ScopedJuceInitialiser_GUI juce;
    auto proc = std::make_unique<DurafoldAudioProcessor>();
    proc->prepareToPlay (sampleRate, blockSize);
    for (const auto& s : settings)
        proc->setParameter (s.index, s.value);

    const auto input = makeInput();
    juce::AudioSampleBuffer work (2, blockSize);
    juce::MidiBuffer midi;
    // Warm up: configuration changes, and every voice restarted at least once.
    for (int b = 0; b < 2000; ++b)
    {
        work.makeCopyOf (input[(size_t) (b % preparedBlocks)], true);
        proc->processBlock (work, midi);
    }

    double worst = 0.0, total = 0.0;
    std::int64_t blocks = 0;
    for (auto _ : state)
    {
        work.makeCopyOf (input[(size_t) (blocks % preparedBlocks)], true);
        const double start = threadCpuSeconds();
        proc->processBlock (work, midi);
        const double took = threadCpuSeconds() - start;
        benchmark::DoNotOptimize (work.getReadPointer (0));
        worst = std::max (worst, took);
        total += took;
        ++blocks;
    }
    const double blockSeconds = blockSize / sampleRate;
    const double mean = total / (double) std::max<std::int64_t> (1, blocks);
    state.counters["mean_us"] = mean * 1e6;
    state.counters["worst_us"] = worst * 1e6;
    state.counters["x_realtime"] = blockSeconds / mean;
    state.counters["x_realtime_worst"] = blockSeconds / worst;
}

using P = DurafoldAudioProcessor;
constexpr float granular = 0.0f, vocoder = 1.0f;
constexpr float eightVoices = 1.0f, largestGrain = 1.0f;
// "bands" 0.6 and 1.0 give N = 1024 and 16384.
} // namespace

BENCHMARK_CAPTURE (runDurafold, construction_values, std::vector<Setting> {})->Unit (benchmark::kMicrosecond);
BENCHMARK_CAPTURE (runDurafold, granular_8_voices_largest_grain,
                   std::vector<Setting> { { P::grainorpvocParam, granular },
                                          { P::voicesParam, eightVoices },
                                          { P::grainsizeParam, largestGrain } })
    ->Unit (benchmark::kMicrosecond);
BENCHMARK_CAPTURE (runDurafold, vocoder_8_voices_N1024,
                   std::vector<Setting> {
                       { P::grainorpvocParam, vocoder }, { P::voicesParam, eightVoices }, { P::bandsParam, 0.6f } })
    ->Unit (benchmark::kMicrosecond);
BENCHMARK_CAPTURE (runDurafold, vocoder_8_voices_N16384,
                   std::vector<Setting> {
                       { P::grainorpvocParam, vocoder }, { P::voicesParam, eightVoices }, { P::bandsParam, 1.0f } })
    ->Unit (benchmark::kMicrosecond);

BENCHMARK_MAIN();
