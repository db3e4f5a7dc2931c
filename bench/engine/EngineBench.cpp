#include "BandTransfer.h"
#include "Spect.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
struct Engine : spect
{
    explicit Engine (int n)
        : spect (2, false)
    {
        inputGain = 1.0f;
        overlapShift = 3;
        setFFTSize (n);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < maxFFTSize; ++i)
                inputFifo[c][i] = std::sin (0.01f * (float) i * (float) (c + 1));
    }
};

/** The bare transform pair with the repacking: the floor under every frame. */
void fftPair (benchmark::State& state)
{
    const int n = (int) state.range (0);
    Engine e (n);
    for (auto _ : state)
    {
        e.forwardTransform (e.fftInput[0], e.spectrum[0]);
        e.inverseTransform (e.spectrum[0], e.timeBuffer[0]);
        benchmark::DoNotOptimize (e.timeBuffer[0][1]);
    }
    state.counters["N"] = n;
}

/** One stereo frame of the engine with polar conversion both ways on each channel, as a
    spectral processor spends it: transforms plus the per-bin work. */
void engineFrame (benchmark::State& state)
{
    struct PolarEngine : Engine
    {
        using Engine::Engine;
        void processSpect() override
        {
            for (int c = 0; c <= stereo; ++c)
            {
                cartToPolar (spectrum[c], polar);
                polarToCart (polar, outputSpectrum[c]);
            }
        }
        float polar[maxFFTSize + 2] {};
    };
    const int n = (int) state.range (0);
    auto e = std::make_unique<PolarEngine> (n);
    for (auto _ : state)
    {
        e->processFFTBlock();
        benchmark::DoNotOptimize (e->outputAccumulator[0][0]);
    }
    state.counters["N"] = n;
}

/** One frame of the band-ordered transfer at N 2048 (1024 sources): magnitudes spread over
    six decades as a noisy spectrum has them, each source's frequency within a bin of its own
    and scaled by a transposition (per cent as the argument: 100 keeps the pitch, 50 an octave
    down, where two or more sources share most targets). */
void bandTransfer (benchmark::State& state)
{
    const int n = 2048, half = n / 2;
    const float ratio = (float) state.range (0) / 100.0f;
    std::mt19937 rng (5);
    std::uniform_real_distribution<float> jitter (-0.7f, 0.7f), decades (-6.0f, 0.3f);
    std::vector<float> magnitude ((size_t) half), frequency ((size_t) half);
    for (int i = 0; i < half; ++i)
    {
        magnitude[(size_t) i] = std::pow (10.0f, decades (rng));
        frequency[(size_t) i] = ((float) i + jitter (rng)) / (float) n * ratio;
    }
    std::vector<float> outMagnitude ((size_t) half + 1), outPhase ((size_t) half + 1), running ((size_t) half);
    const float pi = 4.0f * std::atan (1.0f), twoPi = 8.0f * std::atan (1.0f);
    auto t = std::make_unique<veltrane::BandTransfer>();
    for (auto _ : state)
    {
        t->assignTargets (frequency.data(), 1, half, n, twoPi * 256.0f, veltrane::BandTransfer::BelowBinZero::dropped);
        t->transfer (magnitude.data(), 1, half, half, outMagnitude.data(), outPhase.data(), running.data(), pi, twoPi);
        benchmark::DoNotOptimize (outPhase[7]);
    }
    state.counters["ns_per_source"] = benchmark::Counter ((double) state.iterations() * half,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
} // namespace

BENCHMARK (bandTransfer)->Arg (100)->Arg (75)->Arg (50);
BENCHMARK (fftPair)->Arg (1024)->Arg (16384);
BENCHMARK (engineFrame)->Arg (1024)->Arg (16384);
BENCHMARK_MAIN();
