#include "SignalAnalysis.h"
#include "TonalithTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

using namespace tonalith_test;

// Hosts align tracks by the reported latency: the output of either mode must come that
// late, to within one hop, and switching the mode changes the report.
//
// Each burst rises from a held quieter level rather than from silence: the sine bank's
// level for a tone depends on the relative phases its main-lobe oscillators take when the
// tone starts, so a burst from silence overshoots and its half-height point wanders by a
// quarter of the transform; once the oscillators run, the envelope is a clean step. The
// largest size is checked with noise, whose many partials do not interfere that way.
TEST (TonalithLatency, ReportedLatencyMatchesABurstInBothModes)
{
    const double rate = 48000.0;
    struct Case
    {
        float bands;
        int n;
        bool noise;
    };
    const Case cases[] = { { 0.7f, 2048, false }, { 0.8f, 4096, false }, { 1.0f, 16384, true } };
    for (const auto& c : cases)
        for (int mode = 0; mode < 2; ++mode)
        {
            TonalithAudioProcessor p;
            p.prepareToPlay (rate, 512);
            p.setParameter (TonalithAudioProcessor::bandsParam, c.bands);
            p.setParameter (TonalithAudioProcessor::outputModeParam, (float) mode);
            const int onset = 10 * c.n + 1000, length = 8 * c.n;
            std::vector<float> x ((size_t) (onset + length + 8 * c.n));
            std::uint32_t seed = 7919;
            for (size_t t = 0; t < x.size(); ++t)
            {
                seed = seed * 1664525u + 1013904223u;
                const float level = (int) t >= onset && (int) t < onset + length ? 0.25f : 0.05f;
                x[t] = level
                       * (c.noise ? 2.0f * ((float) (seed >> 8) / 16777216.0f - 0.5f)
                                  : (float) std::sin (2.0 * M_PI * 440.0 * (double) t / rate));
            }
            const auto y = run (p, (int) x.size(), [&] (int t) { return x[(size_t) t]; });
            const double delay = veltrane_test::stepDelay (y, onset, length, 2048);
            const int reported = p.getReportedLatency();
            const std::string name = "n" + std::to_string (c.n) + (mode == 0 ? "_fft" : "_sinebank");
            RecordProperty (name + "_measured", std::to_string (delay));
            RecordProperty (name + "_reported", std::to_string (reported));
            EXPECT_NEAR (delay, reported, c.n / 8) << name;
        }
}

TEST (TonalithLatency, ModeSwitchChangesTheReport)
{
    TonalithAudioProcessor p;
    p.prepareToPlay (48000.0, 512);
    p.setParameter (TonalithAudioProcessor::bandsParam, 0.7f); // N 2048
    run (p, 4096, [] (int) { return 0.0f; });
    EXPECT_EQ (p.getReportedLatency(), 2048);
    p.setParameter (TonalithAudioProcessor::outputModeParam, 1.0f);
    run (p, 512, [] (int) { return 0.0f; });
    EXPECT_EQ (p.getReportedLatency(), 3072);
    p.setParameter (TonalithAudioProcessor::outputModeParam, 0.0f);
    run (p, 512, [] (int) { return 0.0f; });
    EXPECT_EQ (p.getReportedLatency(), 2048);

    // A fresh instance and prepareToPlay already know the mode's latency.
    TonalithAudioProcessor q;
    q.setParameter (TonalithAudioProcessor::outputModeParam, 1.0f);
    q.setParameter (TonalithAudioProcessor::bandsParam, 0.6f);
    q.prepareToPlay (48000.0, 512);
    EXPECT_EQ (q.getReportedLatency(), 1536);
}
