#include "ProcessorRig.h"
#include "QuorrelAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
/** Runs a whole signal through the processor in blocks of the given size (the suite's rig). */
std::vector<float> run (QuorrelAudioProcessor& q, const std::vector<float>& in, int block, int channels = 2)
{
    veltrane_test::ProcessorRig rig (q, channels, block, 48000.0, false);
    return rig.run ((int) in.size(), veltrane_test::mono ([&in] (std::int64_t t) { return in[(size_t) t]; }));
}

std::vector<float> tone (int n)
{
    std::vector<float> x ((size_t) n);
    for (int i = 0; i < n; ++i)
        x[(size_t) i] = 0.3f * std::sin (0.031f * (float) i) + 0.2f * std::sin (0.4f * (float) i + 1.0f);
    return x;
}

/** A single bin of the given magnitude and phase (negated-phase convention). */
void setBin (QuorrelAudioProcessor& q, int bin, float magnitude, float phase)
{
    const int n = q.fftSize;
    std::fill (q.spectrum[0], q.spectrum[0] + n, 0.0f);
    q.spectrum[0][bin] = magnitude * std::cos (phase);
    q.spectrum[0][n - bin] = -magnitude * std::sin (phase);
}

float binMagnitude (const QuorrelAudioProcessor& q, int bin)
{
    const int n = q.fftSize;
    return std::hypot (q.outputSpectrum[0][bin], q.outputSpectrum[0][n - bin]);
}
} // namespace

TEST (QuorrelProcessor, DefaultsPassTheInputDelayedByTheLatency)
{
    QuorrelAudioProcessor q;
    EXPECT_EQ (q.getLatencySamples(), 1024);
    const auto in = tone (16384);
    for (int block : { 512, 1, 333 })
    {
        QuorrelAudioProcessor p;
        const auto out = run (p, in, block);
        EXPECT_EQ (p.fftSize, 1024);
        EXPECT_EQ (p.hop, 256); // overlap 4 until the size first changes
        EXPECT_EQ (p.windowKind, veltrane::blackmanWindow);
        double err = 0, ref = 0, hopErr = 0;
        for (int i = 4096; i < 16384; ++i)
        {
            const double d = out[(size_t) i] - in[(size_t) (i - 1024)];
            err += d * d;
            ref += (double) in[(size_t) (i - 1024)] * in[(size_t) (i - 1024)];
            if (i % 256 == 0)
                hopErr = std::max (hopErr, std::abs (d));
        }
        // Unit gain on hop positions; elsewhere only the overlapped window's ripple.
        EXPECT_LT (hopErr, 1e-4) << block;
        EXPECT_LT (std::sqrt (err / ref), 0.05) << block;
    }
}

TEST (QuorrelProcessor, BandShiftMovesBinsCircularly)
{
    struct Case
    {
        float bandshift;
        int from, to;
    };
    for (auto c : { Case { 1.0f, 300, 44 }, Case { 0.0f, 10, 266 }, Case { 0.5f, 77, 77 }, Case { 0.6f, 500, 39 } })
    {
        QuorrelAudioProcessor q;
        q.stereo = 0;
        q.setParameter (QuorrelAudioProcessor::bandshiftParam, c.bandshift);
        setBin (q, c.from, 1.0f, 0.3f);
        q.processSpect();
        EXPECT_NEAR (binMagnitude (q, c.to), 1.0f, 1e-5f) << c.bandshift;
        if (c.to != c.from)
        {
            EXPECT_EQ (binMagnitude (q, c.from), 0.0f) << c.bandshift;
        }
    }
}

TEST (QuorrelProcessor, PhaseNullWithCentredShiftFreezesEveryBin)
{
    QuorrelAudioProcessor q;
    q.stereo = 0;
    q.setParameter (QuorrelAudioProcessor::phasenullParam, 1.0f);
    std::vector<float> phases;
    for (float inputPhase : { 0.1f, 1.7f, -2.9f })
    {
        setBin (q, 40, 2.0f, inputPhase);
        q.processSpect();
        phases.push_back (q.accumulatedPhase[0][40]);
        EXPECT_NEAR (binMagnitude (q, 40), 2.0f, 1e-5f);
    }
    EXPECT_EQ (phases[0], phases[1]);
    EXPECT_EQ (phases[1], phases[2]);
}

TEST (QuorrelProcessor, PhaseShiftAdvancesEveryBinByTheSameStep)
{
    QuorrelAudioProcessor q;
    q.stereo = 0;
    q.setParameter (QuorrelAudioProcessor::phasenullParam, 1.0f);
    q.setScaledParameter (QuorrelAudioProcessor::phaseshiftParam, 1.0f); // radians per frame
    setBin (q, 12, 1.0f, 0.0f);
    q.processSpect();
    const float first = q.accumulatedPhase[0][12];
    q.processSpect();
    // Negated convention: the stored phase moves by -s per frame (s within 0.05 percent).
    EXPECT_NEAR (q.accumulatedPhase[0][12] - first, -1.0f, 1e-3f);
}

TEST (QuorrelProcessor, ScrambleRedrawsOnEveryChangeButOnlyPermutesWhenOn)
{
    QuorrelAudioProcessor q;
    juce::AudioBuffer<float> b (2, 64);
    b.clear();
    juce::MidiBuffer m;
    q.processBlock (b, m); // first block: applied values catch up
    const auto initial = q.scrambleTable;
    q.setParameter (QuorrelAudioProcessor::scrambleParam, 1.0f);
    q.processBlock (b, m);
    const auto on = q.scrambleTable;
    EXPECT_NE (on, initial);
    std::vector<int> sorted (on.begin(), on.begin() + q.halfSize);
    std::sort (sorted.begin(), sorted.end());
    for (int k = 0; k < q.halfSize; ++k)
        ASSERT_EQ (sorted[(size_t) k], k);

    q.setParameter (QuorrelAudioProcessor::scrambleParam, 0.0f);
    q.processBlock (b, m);
    EXPECT_NE (q.scrambleTable, on);
    q.stereo = 0;
    setBin (q, 100, 1.0f, 0.0f);
    q.processSpect();
    EXPECT_NEAR (binMagnitude (q, 100), 1.0f, 1e-5f); // off: bins stay in place
}

TEST (QuorrelProcessor, PhaseResetIsMomentary)
{
    QuorrelAudioProcessor q;
    juce::AudioBuffer<float> b (2, 128);
    b.clear();
    juce::MidiBuffer m;
    q.accumulatedPhase[1][9] = 5.0f;
    q.setParameter (QuorrelAudioProcessor::phaseresetParam, 1.0f);
    q.processBlock (b, m);
    EXPECT_TRUE (q.resetPending);
    EXPECT_FLOAT_EQ (q.accumulatedPhase[1][9], 9.0f * q.pi * 0.25f);
    struct Ear : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int i, float v) override
        {
            heard.emplace_back (i, v);
        }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
        std::vector<std::pair<int, float>> heard;
    } ear;
    q.addListener (&ear);
    q.processBlock (b, m);
    EXPECT_EQ (q.getParameter (QuorrelAudioProcessor::phaseresetParam), 0.0f);
    q.processBlock (b, m);
    EXPECT_FALSE (q.resetPending);
    // The host's switch springs back too, told from the message thread.
    EXPECT_TRUE (ear.heard.empty());
    q.publishChangedParameters();
    ASSERT_EQ (ear.heard.size(), 1u);
    EXPECT_EQ (ear.heard[0], std::make_pair ((int) QuorrelAudioProcessor::phaseresetParam, 0.0f));
    q.removeListener (&ear);
}

TEST (QuorrelProcessor, BandsChangeResizesAndReportsLatency)
{
    QuorrelAudioProcessor q;
    q.setParameter (QuorrelAudioProcessor::bandsParam, 0.7f);
    run (q, tone (4096), 512);
    EXPECT_EQ (q.fftSize, 2048);
    EXPECT_EQ (q.hop, 256);
    EXPECT_EQ (q.getReportedLatency(), 2048);
    q.publishPendingLatency();
    EXPECT_EQ (q.getLatencySamples(), 2048);
    EXPECT_EQ (q.getParameterText (0), juce::String ("1024.00"));
    q.setParameter (QuorrelAudioProcessor::bandsParam, 0.65f);
    EXPECT_EQ (q.getParameterText (0), "724.08");
}

TEST (QuorrelProcessor, OutOfRangeBandsKeepTheTransformInItsLimits)
{
    struct Case
    {
        float bands;
        int n;
    };
    for (auto c : { Case { 1.5f, 16384 }, Case { -3.0f, 16 }, Case { std::numeric_limits<float>::quiet_NaN(), 16 },
                    Case { std::numeric_limits<float>::infinity(), 16384 }, Case { 0.0f, 16 }, Case { 1.0f, 16384 } })
    {
        QuorrelAudioProcessor q;
        q.setParameter (QuorrelAudioProcessor::bandsParam, c.bands);
        const auto out = run (q, tone (40000), 1000);
        EXPECT_EQ (q.fftSize, c.n) << c.bands;
        for (float v : out)
            ASSERT_TRUE (std::isfinite (v)) << c.bands;
    }
}

TEST (QuorrelProcessor, HostileValuesNeitherHangNorPoison)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    QuorrelAudioProcessor q;
    q.setParameter (QuorrelAudioProcessor::phaseshiftParam, 1e30f);
    q.setParameter (QuorrelAudioProcessor::phasenoiseParam, inf);
    q.setParameter (QuorrelAudioProcessor::phasenullParam, nan);
    q.setParameter (QuorrelAudioProcessor::bandshiftParam, -7e9f);
    run (q, tone (8192), 512);

    // NaN and infinite input pass, and the output is clean again once they left the frames.
    QuorrelAudioProcessor p;
    auto in = tone (20000);
    for (int i = 3000; i < 3100; ++i)
        in[(size_t) i] = (i % 2) ? nan : inf;
    const auto out = run (p, in, 256);
    for (int i = 8000; i < 20000; ++i)
        ASSERT_TRUE (std::isfinite (out[(size_t) i])) << i;
    EXPECT_GT (std::abs (out[19000]) + std::abs (out[19001]), 0.0f);
}

TEST (QuorrelProcessor, MonoBufferProcessesChannelZeroOnly)
{
    QuorrelAudioProcessor q;
    const auto out = run (q, tone (6000), 500, 1);
    EXPECT_EQ (q.stereo, 0);
    EXPECT_EQ (q.measuredPhase[1][5], 0.0f);
    EXPECT_NE (q.measuredPhase[0][5], 0.0f);
    EXPECT_NE (out[5000], 0.0f);
}
