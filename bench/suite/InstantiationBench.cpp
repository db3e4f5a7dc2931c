// How long a host waits for a plug-in: from asking JUCE's VST3 or LV2 hosting for a new
// instance of an already scanned bundle (construction, prepareToPlay at 48 kHz and 512 samples)
// to the end of its first processed block, wall-clock time. The bundle's first instance in the
// process also loads its library and makes the transform plans; that one is reported on its own
// ("first_ms"), the rest are the iterations.
#include "HostedPlugins.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

double instantiateAndProcess (const veltrane::testing::Bundle& bundle, const juce::PluginDescription& description,
                              bool& failed)
{
    juce::String error;
    juce::AudioBuffer<float> buffer (2, blockSize);
    buffer.clear();
    juce::MidiBuffer midi;
    const auto start = std::chrono::steady_clock::now();
    auto instance = veltrane::testing::instantiate (bundle, description, sampleRate, blockSize, error);
    if (instance != nullptr)
        instance->processBlock (buffer, midi);
    const auto end = std::chrono::steady_clock::now();
    failed = instance == nullptr;
    if (failed)
        std::fprintf (stderr, "%s: %s\n", veltrane::testing::bundleName (bundle).c_str(), error.toRawUTF8());
    instance.reset();
    return std::chrono::duration<double> (end - start).count();
}

void run (benchmark::State& state, const veltrane::testing::Bundle& bundle)
{
    juce::String error;
    const auto description = veltrane::testing::describe (bundle, error);
    if (description == nullptr)
    {
        state.SkipWithError (error.toRawUTF8());
        return;
    }
    static std::vector<std::string> seen;
    const std::string name = veltrane::testing::bundleName (bundle);
    if (std::find (seen.begin(), seen.end(), name) == seen.end())
    {
        seen.push_back (name);
        bool failed = false;
        const double first = instantiateAndProcess (bundle, *description, failed);
        if (failed)
        {
            state.SkipWithError ("instantiation failed");
            return;
        }
        state.counters["first_ms"] = first * 1e3;
    }
    for (auto _ : state)
    {
        bool failed = false;
        state.SetIterationTime (instantiateAndProcess (bundle, *description, failed));
        if (failed)
        {
            state.SkipWithError ("instantiation failed");
            break;
        }
    }
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    for (const auto& bundle : veltrane::testing::findBundles())
        benchmark::RegisterBenchmark (veltrane::testing::bundleName (bundle).c_str(),
                                      [bundle] (benchmark::State& s) { run (s, bundle); })
            ->UseManualTime()
            ->Unit (benchmark::kMillisecond)
            ->Iterations (20);
    benchmark::Initialize (&argc, argv);
    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
