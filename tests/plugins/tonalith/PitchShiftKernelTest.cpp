#include "PhaseMath.h"
#include "TonalithTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace tonalith_test;

namespace
{
/** A processor configured at the construction size (N = 512, hop 64) whose kernel is fed
    crafted spectra directly. */
struct KernelFixture : ::testing::Test
{
    KernelFixture()
    {
        runFirstFrame (p);
        n = p.fftSize;
        h = n / 2;
        in.assign ((size_t) n, 0.0f);
        out.assign ((size_t) n, 0.0f);
        for (auto& v : p.lastPhase[0])
            v = 0.0f;
        for (auto& v : p.shiftPhase[0])
            v = 0.0f;
    }

    void shift()
    {
        p.fftPitchShift (out.data(), in.data(), p.polar[0].data(), p.shiftedPolar[0].data(), p.lastPhase[0].data(),
                         p.shiftPhase[0].data());
    }
    float magnitude (int k) const { return p.shiftedPolar[0][(size_t) (2 * k)]; }
    float phase (int k) const { return p.shiftedPolar[0][(size_t) (2 * k + 1)]; }

    TonalithAudioProcessor p;
    int n = 0, h = 0;
    std::vector<float> in, out;
};
} // namespace

TEST_F (KernelFixture, ConfiguredFromConstructionValues)
{
    EXPECT_EQ (n, 512);
    EXPECT_EQ (p.hop, 64);
    EXPECT_EQ (p.windowKind, veltrane::blackmanWindow);
    EXPECT_EQ (p.pitchRatio, 1.0f);
    EXPECT_FLOAT_EQ (p.gateThreshold, 1.0e-6f);
    EXPECT_EQ (p.getReportedLatency(), 512);
}

TEST_F (KernelFixture, UpwardRatioCarriesOnlyTheLowerQuarter)
{
    for (int k = 0; k <= h; ++k)
        setBin (in, n, k, k < h / 2 ? 0.01f : 0.5f, 0.0f);
    p.pitchRatio = 2.0f;
    shift();
    float total = 0.0f;
    for (int k = 0; k < h; ++k)
    {
        total += magnitude (k);
        if (k % 2 == 1)
        {
            EXPECT_EQ (magnitude (k), 0.0f) << k; // steady bins land exactly on 2k
        }
    }
    EXPECT_NEAR (total, 0.01f * (float) (h / 2), 1e-4f);
    EXPECT_EQ (out[(size_t) h], 0.0f);

    // Downward, every bin below N/2 is carried (the Nyquist bin is not).
    p.pitchRatio = 0.5f;
    shift();
    total = 0.0f;
    for (int k = 0; k < h; ++k)
        total += magnitude (k);
    EXPECT_NEAR (total, 0.01f * (float) (h / 2) + 0.5f * (float) (h / 2), 1e-3f);
}

TEST_F (KernelFixture, LouderBandSetsThePhaseOfASharedTarget)
{
    // With ratio 0.5, steady bins 40 and 41 both round to bin 20 (20.5 is not above .5).
    // Bin 41 set alone would give the phase (20 - 20.5) / N x hop x 2 pi = -pi/8.
    struct Case
    {
        float m40, m41;
        float expectedPhase;
    };
    const float pi = p.pi;
    const Case cases[] = {
        { 0.1f, 0.5f, -pi / 8.0f },  // 41 in a louder band
        { 0.5f, 0.1f, 0.0f },        // 40 in a louder band
        { 0.4f, 0.45f, 0.0f },       // one band (0.354, 0.49999890]: the lower source bin comes first
        { 0.45f, 0.5f, -pi / 8.0f }, // 0.5 is already in the band above 0.707106 x 0.707106
        { 2.0f, 0.3f, 0.0f },        // above 1.0 belongs to the loudest band
        { 0.9f, 1.5f, 0.0f },        // and so does 0.9: the lower source bin comes first
    };
    for (const auto& c : cases)
    {
        std::fill (in.begin(), in.end(), 0.0f);
        std::fill (p.shiftPhase[0].begin(), p.shiftPhase[0].end(), 0.0f);
        setBin (in, n, 40, c.m40, 0.0f);
        setBin (in, n, 41, c.m41, 0.0f);
        p.pitchRatio = 0.5f;
        shift();
        SCOPED_TRACE (testing::Message() << c.m40 << " " << c.m41);
        EXPECT_NEAR (phase (20), c.expectedPhase, 1e-6f);
        EXPECT_FLOAT_EQ (magnitude (20), c.m40 + c.m41);
        EXPECT_FLOAT_EQ (p.shiftPhase[0][20], c.expectedPhase);
    }
}

TEST_F (KernelFixture, OnePassBandOrderEqualsTheBandPasses)
{
    // Random magnitudes over the whole gate range and a ratio that folds many bins onto
    // shared targets; the band passes written out plainly must give the same pairs.
    std::mt19937 rng (11);
    std::uniform_real_distribution<float> exponent (-7.0f, 0.2f), angle (-3.0f, 3.0f);
    for (int frame = 0; frame < 3; ++frame)
    {
        for (int k = 0; k <= h; ++k)
            setBin (in, n, k, std::pow (10.0f, exponent (rng)), angle (rng));
        p.pitchRatio = 0.37f;
        const std::vector<float> phasesBefore = p.shiftPhase[0];
        const std::vector<float> lastBefore = p.lastPhase[0];
        shift();

        std::vector<float> pairs ((size_t) (2 * h), 0.0f), phases = phasesBefore;
        const float hopTwoPi = (float) p.hop * p.twoPi;
        auto wrap = [&] (float d) {
            while (d > p.pi)
                d -= p.twoPi;
            while (d < -p.pi)
                d += p.twoPi;
            return d;
        };
        for (float upper = 1.0f; upper > p.gateThreshold;)
        {
            const float lower = std::max (upper * 0.707106f, p.gateThreshold);
            for (int i = 0; i < h; ++i)
            {
                const float m = p.polar[0][(size_t) (2 * i)], f = p.polar[0][(size_t) (2 * i + 1)];
                // The first band has no ceiling: it takes every finite magnitude above 1.0 too.
                const float ceiling = upper == 1.0f ? std::numeric_limits<float>::max() : upper;
                if (! (lower < m && m <= ceiling))
                    continue;
                const float x = (float) n * f;
                const int t = (int) x;
                int target = x - (float) t > 0.5f ? t + 1 : t;
                target = std::max (target, 0);
                if (target >= h)
                    continue;
                if (pairs[(size_t) (2 * target)] != 0.0f)
                {
                    pairs[(size_t) (2 * target)] += m;
                    continue;
                }
                float phi = wrap (((float) target * (1.0f / (float) n) - f) * hopTwoPi);
                phi = wrap (phi + phases[(size_t) target]);
                pairs[(size_t) (2 * target)] = m;
                pairs[(size_t) (2 * target + 1)] = phi;
                phases[(size_t) target] = phi;
            }
            upper = lower;
        }
        for (int k = 0; k < h; ++k)
        {
            ASSERT_EQ (p.shiftedPolar[0][(size_t) (2 * k)], pairs[(size_t) (2 * k)]) << frame << " " << k;
            ASSERT_EQ (p.shiftedPolar[0][(size_t) (2 * k + 1)], pairs[(size_t) (2 * k + 1)]) << frame << " " << k;
        }
        ASSERT_NE (lastBefore, p.lastPhase[0]);
    }
}

TEST_F (KernelFixture, FrequenciesFollowTheWrappedPhaseAdvanceBinByBin)
{
    // Every bin's shifted frequency is (k / N + wrap(last - phase) / (hop 2 pi)) x ratio,
    // evaluated as written, also where a damaged memory holds a huge or non-finite phase.
    std::mt19937 rng (5);
    std::uniform_real_distribution<float> angle (-3.14f, 3.14f), magnitude (0.0f, 0.5f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float ratio : { 1.0f, 0.37f, 1.4983f, 4.0f })
        for (int frame = 0; frame < 3; ++frame)
        {
            for (int k = 0; k <= h; ++k)
                setBin (in, n, k, magnitude (rng), angle (rng));
            if (frame == 1)
            {
                p.lastPhase[0][3] = 1.0e6f;
                p.lastPhase[0][4] = nan;
                p.lastPhase[0][5] = -std::numeric_limits<float>::infinity();
                p.lastPhase[0][6] = 20.0f;
            }
            p.pitchRatio = ratio;
            const std::vector<float> lastBefore = p.lastPhase[0];
            shift();
            const float inverseN = 1.0f / (float) n;
            const float inverseHopTwoPi = 1.0f / ((float) p.hop * p.twoPi);
            for (int k = 0; k < h; ++k)
            {
                const float d =
                    veltrane::wrapPhase (lastBefore[(size_t) k] - p.lastPhase[0][(size_t) k], p.pi, p.twoPi);
                const float expected = ((float) k * inverseN + d * inverseHopTwoPi) * ratio;
                ASSERT_EQ (p.polar[0][(size_t) (2 * k + 1)], expected) << "ratio " << ratio << " bin " << k;
            }
        }
}

TEST_F (KernelFixture, NegativeFrequencyLandsInBinZero)
{
    // Bin 1 with a phase step just under -pi: (1/N - ~4/N) x ratio is below zero.
    p.lastPhase[0][1] = -3.1f;
    setBin (in, n, 1, 0.25f, 0.0f);
    shift();
    EXPECT_FLOAT_EQ (magnitude (0), 0.25f);
    EXPECT_EQ (magnitude (1), 0.0f);
    EXPECT_LT (p.polar[0][3], 0.0f);
}

TEST_F (KernelFixture, GateThresholdOfOneCarriesNothing)
{
    // No band lies above the gate, so not even magnitudes above 1.0 pass.
    for (int k = 0; k <= h; ++k)
        setBin (in, n, k, k % 2 == 0 ? 0.5f : 3.0f, 0.0f);
    p.gateThreshold = 1.0f;
    shift();
    for (float v : out)
        ASSERT_EQ (v, 0.0f);
}

TEST (PitchShiftKernel, RatioOneCollapsesTheMainLobeIntoTheNearestBin)
{
    TonalithAudioProcessor p;
    p.setParameter (TonalithAudioProcessor::justParam, 0.0f);
    const double bin = 20.3; // between bin centres, N = 512
    run (p, 512 * 40, [&] (int t) { return 0.2f * (float) std::sin (2.0 * M_PI * bin * t / 512.0); });
    ASSERT_EQ (p.pitchRatio, 1.0f);
    const auto& in = p.polar[0];
    const auto& out = p.shiftedPolar[0];
    float lobe = 0.0f;
    for (int k = 17; k <= 23; ++k)
        lobe += in[(size_t) (2 * k)];
    EXPECT_GE (out[40], lobe * 0.999f); // bin 20 holds the lobe's summed magnitude
    for (int k : { 17, 18, 19, 21, 22, 23 })
        EXPECT_EQ (out[(size_t) (2 * k)], 0.0f) << k;
}

TEST (PitchShiftKernel, ZeroDecibelThresholdSilencesTheOutput)
{
    TonalithAudioProcessor p;
    p.setParameter (TonalithAudioProcessor::thresholdParam, 1.0f);
    const auto y = run (p, 8192, [] (int t) { return 0.3f * std::sin (0.1f * (float) t); });
    for (float v : y)
        ASSERT_EQ (v, 0.0f);
}

TEST (PitchShiftKernel, BandsChangeWithAndWithoutANewSize)
{
    auto tone = [] (int t) { return 0.3f * std::sin (0.05f * (float) t); };
    {
        TonalithAudioProcessor p;
        run (p, 4096, tone);
        EXPECT_EQ (p.getReportedLatency(), 512);
        p.setParameter (TonalithAudioProcessor::bandsParam, 0.6f); // 512 bands
        // Exactly one old hop (64 samples) is left to emit; the frame after it resizes.
        const auto y = run (p, 64 + 128, tone, 2, 64);
        EXPECT_EQ (p.fftSize, 1024);
        EXPECT_EQ (p.hop, 128);
        EXPECT_EQ (p.getReportedLatency(), 1024);
        float before = 0.0f;
        for (int i = 0; i < 64; ++i)
            before = std::max (before, std::fabs (y[(size_t) i]));
        EXPECT_GT (before, 0.01f);
        for (int i = 64; i < 64 + 128; ++i)
            ASSERT_EQ (y[(size_t) i], 0.0f) << i; // the next output hop starts from silence
    }
    {
        TonalithAudioProcessor p;
        p.setParameter (TonalithAudioProcessor::bandsParam, 0.55f);
        run (p, 4096, tone);
        ASSERT_EQ (p.fftSize, 512);
        p.setParameter (TonalithAudioProcessor::bandsParam, 0.56f); // same N
        run (p, 64, tone, 2, 64);
        EXPECT_EQ (p.fftSize, 512);
        EXPECT_EQ (p.analysisRotation[0], 64); // restarted at 0, then advanced by one hop
        EXPECT_EQ (p.synthesisRotation[1], 64);
        const auto y = run (p, 64, tone, 2, 64);
        float level = 0.0f;
        for (float v : y)
            level = std::max (level, std::fabs (v));
        EXPECT_GT (level, 0.01f); // no audio was cleared
    }
    {
        // Values equal as floats are no change: 0 and -0 (an automation lane's bottom), or
        // one NaN after another, leave the rotations running and the windows alone.
        TonalithAudioProcessor p;
        p.setParameter (TonalithAudioProcessor::bandsParam, 0.0f); // N 16, hop 2
        run (p, 1026, tone, 2, 2);
        struct Step
        {
            float bands;
            bool changed;
        };
        const Step steps[] = { { -0.0f, false }, { 0.0f, false }, { std::nanf (""), true }, { std::nanf (""), false } };
        for (const auto& step : steps)
        {
            p.setParameter (TonalithAudioProcessor::bandsParam, step.bands);
            const int rotation = p.analysisRotation[0];
            ASSERT_NE (rotation, 0);
            run (p, p.hop, tone, 2, 2); // one frame (NaN counts as 0.5: N 512, hop 64)
            EXPECT_EQ (p.analysisRotation[0], step.changed ? p.hop : (rotation + p.hop) & (p.fftSize - 1))
                << step.bands;
        }
    }
}

TEST (PitchShiftKernel, MonoBufferLeavesChannelOneAlone)
{
    TonalithAudioProcessor p;
    runFirstFrame (p);
    p.outputAccumulator[1][0] = 0.125f;
    run (
        p, 1024, [] (int t) { return 0.3f * std::sin (0.2f * (float) t); }, 1);
    EXPECT_EQ (p.outputAccumulator[1][0], 0.125f);
    EXPECT_EQ (p.stereo, 0);
}

TEST (PitchShiftKernel, OutOfRangeValuesStaySafeAndRecover)
{
    for (int mode = 0; mode < 2; ++mode)
    {
        TonalithAudioProcessor p;
        p.setParameter (TonalithAudioProcessor::outputModeParam, (float) mode);
        const float bad[] = { std::nanf (""), INFINITY, -INFINITY, 1.0e30f, -1.0e30f };
        for (float v : bad)
        {
            for (int i = 0; i < 6; ++i)
                p.setParameter (i, v);
            p.setParameter (TonalithAudioProcessor::ingainParam, v);
            run (p, 4096, [] (int t) { return 0.3f * std::sin (0.2f * (float) t); });
        }
        // Not-a-number and infinite input, then clean parameters and input again.
        run (p, 4096, [] (int t) { return t % 3 == 0 ? std::nanf ("") : (t % 3 == 1 ? INFINITY : 1.0f); });
        TonalithAudioProcessor fresh;
        for (int i = 0; i < 12; ++i)
            p.setParameter (i, fresh.getParameter (i));
        p.setParameter (TonalithAudioProcessor::outputModeParam, (float) mode);
        const auto y = run (p, 44100, [] (int t) { return 0.3f * std::sin (0.05f * (float) t); });
        float level = 0.0f;
        for (size_t i = y.size() - 4096; i < y.size(); ++i)
        {
            ASSERT_TRUE (std::isfinite (y[i])) << mode << " " << i;
            level = std::max (level, std::fabs (y[i]));
        }
        EXPECT_GT (level, 0.05f) << mode;
        EXPECT_LE (p.fftSize, 16384);
    }
}
