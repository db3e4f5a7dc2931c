#include "TonalithAudioProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

/** One second of a few partials plus noise, looped through the processor. */
std::vector<float> testSignal()
{
    std::vector<float> x ((size_t) sampleRate);
    std::mt19937 rng (1);
    std::normal_distribution<float> noise (0.0f, 0.02f);
    const double partials[] = { 220.0, 331.0, 440.0, 1234.5, 3000.0 };
    for (size_t t = 0; t < x.size(); ++t)
    {
        double v = 0.0;
        for (double f : partials)
            v += 0.1 * std::sin (2.0 * M_PI * f * (double) t / sampleRate);
        x[t] = (float) v + noise (rng);
    }
    return x;
}

/** Stereo blocks of 512 samples at 48 kHz; reports seconds of audio per CPU second. */
void runProcessor (benchmark::State& state, float outputMode, float bands, float semitones = 0.0f)
{
    TonalithAudioProcessor p;
    p.prepareToPlay (sampleRate, blockSize);
    p.setParameter (TonalithAudioProcessor::outputModeParam, outputMode);
    p.setParameter (TonalithAudioProcessor::bandsParam, bands);
    p.setScaledParameter (TonalithAudioProcessor::pitchshiftParam, semitones);
    const auto signal = testSignal();
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    size_t position = 0;
    auto fill = [&] {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
                buffer.setSample (c, i, signal[(position + (size_t) i) % signal.size()]);
        position = (position + blockSize) % signal.size();
    };
    // Settle the transform size and the oscillators before measuring.
    for (int b = 0; b < 200; ++b)
    {
        fill();
        p.processBlock (buffer, midi);
    }
    for (auto _ : state)
    {
        fill(); // two channels of 512 samples copied in: a small, honest part of each block
        p.processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }
    state.counters["realtime"] =
        benchmark::Counter ((double) state.iterations() * blockSize / sampleRate, benchmark::Counter::kIsRate);
}

void fftModeAtConstructionValues (benchmark::State& state) { runProcessor (state, 0.0f, 0.5f); }
void sineBankAtConstructionValues (benchmark::State& state) { runProcessor (state, 1.0f, 0.5f); }
void sineBankAt8192Bands (benchmark::State& state) { runProcessor (state, 1.0f, 1.0f); }
void fftModeAt8192Bands (benchmark::State& state) { runProcessor (state, 0.0f, 1.0f); }
void fftModeUpSevenSemitones (benchmark::State& state) { runProcessor (state, 0.0f, 0.5f, 7.0f); }
void sineBankUpSevenSemitones (benchmark::State& state) { runProcessor (state, 1.0f, 0.5f, 7.0f); }
} // namespace

BENCHMARK (fftModeAtConstructionValues);
BENCHMARK (sineBankAtConstructionValues);
BENCHMARK (sineBankAt8192Bands)->MinTime (2.0);
BENCHMARK (fftModeAt8192Bands);
BENCHMARK (fftModeUpSevenSemitones);
BENCHMARK (sineBankUpSevenSemitones);

BENCHMARK_MAIN();
