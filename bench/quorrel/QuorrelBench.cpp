#include "QuorrelAudioProcessor.h"

#if VELTRANE_BENCH_HOSTED
 #include "HostedPlugins.h"
#endif

#include <benchmark/benchmark.h>

#include <cmath>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

juce::AudioBuffer<float> input()
{
    juce::AudioBuffer<float> b (2, blockSize * 64);
    juce::Random r (5);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < b.getNumSamples(); ++i)
            b.setSample (c, i,
                         0.2f * std::sin (0.03f * (float) i) + 0.1f * std::sin (0.31f * (float) i)
                             + 0.05f * (r.nextFloat() - 0.5f));
    return b;
}

/** Stereo 512-sample blocks at 48 kHz; the realtime factor is seconds of audio per CPU second. */
void runBlocks (benchmark::State& state, juce::AudioProcessor& p)
{
    const auto source = input();
    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;
    int offset = 0;
    for (auto _ : state)
    {
        for (int c = 0; c < 2; ++c)
            block.copyFrom (c, 0, source, c, offset, blockSize);
        offset = (offset + blockSize) % source.getNumSamples();
        p.processBlock (block, midi);
        benchmark::DoNotOptimize (block.getReadPointer (0)[0]);
    }
    state.SetItemsProcessed (state.iterations() * blockSize);
    state.counters["realtime_x"] =
        benchmark::Counter ((double) blockSize / sampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

void quorrelProcessBlock (benchmark::State& state)
{
    QuorrelAudioProcessor q;
    if (state.range (0) != 1024)
        q.setScaledParameter (QuorrelAudioProcessor::bandsParam, (float) state.range (0) / 2.0f);
    q.prepareToPlay (sampleRate, blockSize);
    runBlocks (state, q);
}

#if VELTRANE_BENCH_HOSTED
void quorrelHostedVST3 (benchmark::State& state)
{
    for (auto& bundle : veltrane::testing::findBundles())
        if (bundle.plugin == "quorrel" && bundle.format == "VST3")
        {
            juce::String error;
            auto p = veltrane::testing::load (bundle, sampleRate, blockSize, error);
            if (p == nullptr)
            {
                state.SkipWithError (error.toRawUTF8());
                return;
            }
            p->prepareToPlay (sampleRate, blockSize);
            runBlocks (state, *p);
            p->releaseResources();
            return;
        }
    state.SkipWithError ("quorrel VST3 bundle not found");
}
BENCHMARK (quorrelHostedVST3)->Unit (benchmark::kMicrosecond);
#endif
} // namespace

BENCHMARK (quorrelProcessBlock)->Arg (1024)->Arg (16384)->Unit (benchmark::kMicrosecond);

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
