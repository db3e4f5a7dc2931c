#include "TonalithTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace tonalith_test;
using tonalith::SineBank;

namespace
{
struct BankFixture : ::testing::Test
{
    BankFixture()
        : bank (8.0f * std::atan (1.0f))
    {
        s.fftSize = 512;
        s.hop = 64;
        s.inverseHop = 1.0f / 64.0f;
        s.pi = 4.0f * std::atan (1.0f);
        s.twoPi = 8.0f * std::atan (1.0f);
        polar.assign (2 * 257, 0.0f);
        lastPhase.assign (257, 0.0f);
        out.assign (64, 0.0f);
    }
    void render() { bank.render (out.data(), polar.data(), bank.oscState[0], lastPhase.data(), bank.oscPhase[0], s); }

    /** The oscillator loop one sample at a time, as the bank defines it. */
    std::vector<float> reference (int i, float target, float a)
    {
        std::vector<float> y ((size_t) s.hop, 0.0f);
        float amp = bank.oscState[0][2 * i], inc = bank.oscState[0][2 * i + 1], pos = bank.oscPhase[0][i];
        const float k0 = inc, a0 = amp;
        for (int j = 0; j < s.hop; ++j)
        {
            y[(size_t) j] += amp * bank.sineTable[(int) pos & 16383] * 0.5f * s.outputGain;
            pos += inc;
            inc += (target - k0) * s.inverseHop;
            amp += (a - a0) * s.inverseHop;
        }
        return y;
    }

    SineBank bank;
    tonalith::KernelSettings s;
    std::vector<float> polar, lastPhase, out;
};
} // namespace

TEST_F (BankFixture, TableHoldsOneSineCycle)
{
    EXPECT_EQ (bank.sineTable[0], 0.0f);
    EXPECT_NEAR (bank.sineTable[4096], 1.0f, 1e-7f);
    EXPECT_NEAR (bank.sineTable[12288], -1.0f, 1e-7f);
}

TEST_F (BankFixture, MatchesTheOneAtATimeLoop)
{
    // Many oscillators at random states and targets: the vector loop adds up to the same
    // samples as the plain loop, within the rounding of a different summation order.
    std::mt19937 rng (7);
    std::uniform_real_distribution<float> u (0.0f, 1.0f);
    std::vector<float> expected ((size_t) s.hop, 0.0f);
    s.outputGain = 1.7f;
    for (int i = 0; i < 200; ++i)
    {
        bank.oscState[0][2 * i] = u (rng) * 0.1f;
        bank.oscState[0][2 * i + 1] = (float) i * 32.0f + u (rng) * 10.0f;
        bank.oscPhase[0][i] = u (rng) * 16384.0f;
        polar[(size_t) (2 * i)] = 0.001f + u (rng) * 0.1f;
        polar[(size_t) (2 * i + 1)] = (u (rng) - 0.5f) * 6.0f;
        lastPhase[(size_t) i] = (u (rng) - 0.5f) * 6.0f;
    }
    const float d = 16384.0f / 512.0f, g = 16384.0f / (64.0f * s.twoPi);
    for (int i = 0; i < 200; ++i)
    {
        float e = lastPhase[(size_t) i] - polar[(size_t) (2 * i + 1)];
        while (e > s.pi)
            e -= s.twoPi;
        while (e < -s.pi)
            e += s.twoPi;
        const auto y = reference (i, (float) i * d + e * g, polar[(size_t) (2 * i)]);
        for (int j = 0; j < s.hop; ++j)
            expected[(size_t) j] += y[(size_t) j];
    }
    render();
    for (int j = 0; j < s.hop; ++j)
        EXPECT_NEAR (out[(size_t) j], expected[(size_t) j], 2e-6f) << j;
    for (int i = 0; i < 200; ++i)
    {
        ASSERT_GE (bank.oscPhase[0][i], 0.0f);
        ASSERT_LT (bank.oscPhase[0][i], 16384.0f);
    }
}

TEST_F (BankFixture, SilentTargetFadesOverOneHopThenRests)
{
    const int i = 10;
    bank.oscState[0][2 * i] = 0.5f;
    bank.oscState[0][2 * i + 1] = 320.0f;
    const auto expected = reference (i, 320.0f, 0.0f);
    render(); // magnitude 0, phase steady: target increment 10 x 32 = 320
    for (int j = 0; j < s.hop; ++j)
        EXPECT_FLOAT_EQ (out[(size_t) j], expected[(size_t) j]) << j;
    EXPECT_NEAR (std::fabs (out[63]), 0.0f, 0.5f * 0.5f / 64.0f + 1e-7f);
    EXPECT_EQ (bank.oscState[0][2 * i], 0.0f);
    EXPECT_EQ (bank.oscState[0][2 * i + 1], 320.0f); // the bin centre
    std::fill (out.begin(), out.end(), 0.0f);
    render();
    for (float v : out)
        ASSERT_EQ (v, 0.0f);
}

TEST_F (BankFixture, SoftExpanderBelowTheThreshold)
{
    s.threshold = 0.1f;
    struct Case
    {
        float magnitude;
        float stored;
        bool soundsNow;
    };
    const Case cases[] = {
        { 0.2f, 0.2f, true },            // above: sounds at once
        { 0.01f, 0.01f * 0.01f, false }, // below: squared, sounds from the next frame
        { 0.003f, 0.0f, false },         // squared under 0.00001: silenced
    };
    for (const auto& c : cases)
    {
        bank.reset();
        std::fill (polar.begin(), polar.end(), 0.0f);
        std::fill (out.begin(), out.end(), 0.0f);
        polar[2 * 20] = c.magnitude;
        render();
        SCOPED_TRACE (c.magnitude);
        EXPECT_FLOAT_EQ (bank.oscState[0][40], c.stored);
        float level = 0.0f;
        for (float v : out)
            level = std::max (level, std::fabs (v));
        EXPECT_EQ (level > 0.0f, c.soundsNow);
        std::fill (out.begin(), out.end(), 0.0f);
        render();
        level = 0.0f;
        for (float v : out)
            level = std::max (level, std::fabs (v));
        EXPECT_EQ (level > 0.0f, c.stored > 0.0f);
    }
}

TEST_F (BankFixture, UpwardRatioLeavesTheUpperBinsWithoutOscillators)
{
    s.ratio = 2.0f;
    for (int i = 0; i <= 256; ++i)
        polar[(size_t) (2 * i)] = 0.5f;
    lastPhase[200] = 1.0f;
    render();
    EXPECT_FLOAT_EQ (bank.oscState[0][2 * 100 + 1], 100.0f * 2.0f * 32.0f); // twice its bin
    EXPECT_EQ (bank.oscState[0][2 * 128], 0.0f);
    EXPECT_EQ (lastPhase[200], 1.0f); // bins without an oscillator keep their phase memory
}

TEST (SineBank, CentredSineDrivesItsOscillatorAtTheBinIncrement)
{
    TonalithAudioProcessor p;
    p.setParameter (TonalithAudioProcessor::outputModeParam, 1.0f);
    const int k = 24; // N = 512 at construction values
    const auto y = run (p, 512 * 40, [&] (int t) { return 0.2f * (float) std::sin (2.0 * M_PI * k * t / 512.0); });
    // The main lobe's bins all carry the tone's frequency: k x 16384 / N entries per sample.
    for (int i : { k - 2, k - 1, k, k + 1, k + 2 })
        EXPECT_NEAR (p.sineBank.oscState[0][2 * i + 1], (float) k * 16384.0f / 512.0f, 0.05f) << i;
    EXPECT_GT (p.sineBank.oscState[0][2 * k], 0.1f);
    // Each oscillator keeps its own table position, so the lobe's oscillators do not add in
    // phase; the level only shows that the bank sounds.
    float level = 0.0f;
    for (size_t i = y.size() - 512; i < y.size(); ++i)
        level = std::max (level, std::fabs (y[i]));
    EXPECT_GT (level, 0.001f);
}

TEST (SineBank, ModeSwitchKeepsTheOscillators)
{
    TonalithAudioProcessor p;
    p.setParameter (TonalithAudioProcessor::outputModeParam, 1.0f);
    auto tone = [] (int t) { return 0.2f * std::sin (0.3f * (float) t); };
    run (p, 8192, tone);
    const std::vector<float> state (p.sineBank.oscState[0], p.sineBank.oscState[0] + 2 * 257);
    const std::vector<float> position (p.sineBank.oscPhase[0], p.sineBank.oscPhase[0] + 257);
    p.setParameter (TonalithAudioProcessor::outputModeParam, 0.0f);
    run (p, 8192, tone);
    EXPECT_EQ (std::vector<float> (p.sineBank.oscState[0], p.sineBank.oscState[0] + 2 * 257), state);
    EXPECT_EQ (std::vector<float> (p.sineBank.oscPhase[0], p.sineBank.oscPhase[0] + 257), position);
}
