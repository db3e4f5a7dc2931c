#include "Spect.h"

#include <benchmark/benchmark.h>

#include <cmath>

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
} // namespace

BENCHMARK (fftPair)->Arg (1024)->Arg (16384);
BENCHMARK (engineFrame)->Arg (1024)->Arg (16384);
BENCHMARK_MAIN();
