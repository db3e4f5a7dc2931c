#include "TonalithTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace tonalith_test;

namespace
{
double cents (double measured, double expected) { return 1200.0 * std::log2 (measured / expected); }
} // namespace

TEST (PitchAccuracy, FifthUpAndOctaveDownInBothModes)
{
    const double rate = 44100.0;
    struct Case
    {
        float step;
        float octave;
        double expected;
    };
    const Case cases[] = { { 7.0f, 0.0f, 440.0 * std::pow (2.0, 7.0 / 12.0) }, { 0.0f, -1.0f, 220.0 } };
    for (int mode = 0; mode < 2; ++mode)
        for (const auto& c : cases)
        {
            TonalithAudioProcessor p;
            p.prepareToPlay (rate, 512);
            p.setParameter (TonalithAudioProcessor::justParam, 0.0f);
            p.setParameter (TonalithAudioProcessor::outputModeParam, (float) mode);
            p.setScaledParameter (TonalithAudioProcessor::pitchshiftParam, c.step);
            p.setScaledParameter (TonalithAudioProcessor::octaveParam, c.octave);
            const auto y = run (p, (int) rate * 3,
                                [&] (int t) { return 0.25f * (float) std::sin (2.0 * M_PI * 440.0 * t / rate); });
            // Skip the latency and the build-up; measure over the remaining 2.5 seconds.
            const double f = zeroCrossingFrequency (y, (int) (rate / 2), rate);
            SCOPED_TRACE (testing::Message() << "mode " << mode << " expected " << c.expected << " measured " << f);
            EXPECT_LT (std::fabs (cents (f, c.expected)), 2.0);
            RecordProperty ((mode == 0 ? "fft_" : "sinebank_") + std::to_string ((int) c.expected) + "_hz",
                            std::to_string (f));
        }
}
