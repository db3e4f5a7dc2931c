// Tails that decay into the denormal range, input of 1e-38 and DC must cost no more than noise:
// every plug-in of the suite at construction values (revolva recording its first layer and
// playing it), stereo 512-sample blocks at 48 kHz. Compare each case's realtime factor with the
// same plug-in's "noise" case.
#include "PluginRegistry.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

enum class Input
{
    noise,    // partials and noise, the reference
    tail,     // silence after a second of noise: the processing's own state decays
    denormal, // 1e-38 (below the smallest normal float) with a tiny alternation
    dc,       // a constant half of full scale
    silence   // zeros from the start
};
const char* const inputNames[] = { "noise", "tail", "denormal", "dc", "silence" };

float sample (Input kind, std::int64_t t, std::uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    const float noise = 0.05f * ((float) (seed >> 8) / 16777216.0f - 0.5f);
    switch (kind)
    {
        case Input::noise:
        case Input::tail:
            return 0.2f * std::sin (0.03f * (float) (t % 100000)) + 0.1f * std::sin (0.31f * (float) (t % 100000))
                   + noise;
        case Input::denormal:
            return (t & 1) != 0 ? 1.0e-38f : -1.0e-38f;
        case Input::dc:
            return 0.5f;
        case Input::silence:
            return 0.0f;
    }
    return 0.0f;
}

/** 64 blocks of the input, copied in block by block (a small, equal part of every case). */
juce::AudioBuffer<float> source (Input kind, std::int64_t start)
{
    juce::AudioBuffer<float> b (2, 64 * blockSize);
    std::uint32_t seed = 17;
    for (int i = 0; i < b.getNumSamples(); ++i)
    {
        const float v = sample (kind, start + i, seed);
        b.setSample (0, i, v);
        b.setSample (1, i, v);
    }
    return b;
}

void run (benchmark::State& state, const veltrane::RegisteredPlugin& plugin, Input kind)
{
    auto p = plugin.create();
    p->setRateAndBufferSizeDetails (sampleRate, blockSize);
    p->prepareToPlay (sampleRate, blockSize);
    if (std::string (plugin.name) == "revolva")
        for (auto* param : p->getParameters())
            if (param->getName (32) == "record1" || param->getName (32) == "play1")
                param->setValue (1.0f);
    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;
    auto play = [&] (const juce::AudioBuffer<float>& from, int& offset) {
        for (int c = 0; c < 2; ++c)
            block.copyFrom (c, 0, from, c, offset, blockSize);
        offset = (offset + blockSize) % from.getNumSamples();
        p->processBlock (block, midi);
    };
    // A second of the input first (of noise for the tail), so every voice, layer and frame runs.
    const auto warmUp = source (kind == Input::tail ? Input::noise : kind, 0);
    int offset = 0;
    for (int k = 0; k < (int) sampleRate / blockSize; ++k)
        play (warmUp, offset);
    const auto timed = source (kind == Input::tail ? Input::silence : kind, 48000);
    offset = 0;
    for (auto _ : state)
    {
        play (timed, offset);
        benchmark::DoNotOptimize (block.getReadPointer (0)[0]);
    }
    state.counters["realtime_x"] =
        benchmark::Counter ((double) blockSize / sampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

const bool registered = [] {
    for (const auto& plugin : veltrane::registeredPlugins())
        for (int k = 0; k < 5; ++k)
            benchmark::RegisterBenchmark ((std::string (plugin.name) + "/" + inputNames[k]).c_str(),
                                          [&plugin, k] (benchmark::State& s) { run (s, plugin, (Input) k); })
                ->Unit (benchmark::kMicrosecond)
                ->MinTime (1.0);
    return true;
}();
} // namespace

BENCHMARK_MAIN();
