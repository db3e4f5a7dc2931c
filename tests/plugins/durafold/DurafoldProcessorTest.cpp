#include "DurafoldTestRig.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using durafoldtest::Rig;
using P = DurafoldAudioProcessor;

namespace
{
/** A play head that reports a fixed tempo, or no position at all. */
struct TempoHead : juce::AudioPlayHead
{
    juce::Optional<PositionInfo> getPosition() const override
    {
        if (! hasPosition)
            return {};
        PositionInfo info;
        if (bpm)
            info.setBpm (*bpm);
        return info;
    }
    bool hasPosition = true;
    juce::Optional<double> bpm;
};

float rateOf (DurafoldAudioProcessor& p) { return p.getScaledParameter (P::rateParam); }
} // namespace

TEST (DurafoldParameters, TableAsHostsSeeIt)
{
    DurafoldAudioProcessor p;
    struct Row
    {
        int index;
        const char* name;
        float min, max, scaledDefault, normalizedDefault, atConstruction, scaledAtConstruction;
    };
    const Row rows[] = {
        { 0, "stretch", 1, 100, 10, 0.5f, 0, 1 },
        { 1, "rate", 0.25f, 4, 1, 0.5f, 0.5f, 1 },
        { 2, "bands", 8, 8192, 512, 0.6f, 0.6f, 512 },
        { 3, "grainsize", 0.3f, 3.16f, 0.3f, 0.3f, 0, 0.0316228f },
        { 4, "shimmer", 0, 100, 25, 0.25f, 0.25f, 25 },
        { 5, "grainorpvoc", 0, 1, 0, 0, 0, 0 },
        { 6, "tempolock", 0, 1, 0, 0, 0, 0 },
        { 7, "voices", 2, 8, 5, 0.5f, 0.5f, 5 },
        { 8, "wetdry", 0, 100, 70, 0.7f, 0.5f, 50 },
        { 9, "ingain", -20, 20, 0, 0.5f, 0.5f, 0 },
        { 10, "outgain", -20, 20, 0, 0.5f, 0.5f, 0 },
        { 11, "color", 0, 1, 0, 0, 0, 0 },
        { 12, "unknown", 0, 1, 0, 0, 1, 1 },
    };
    EXPECT_EQ (p.getNumParameters(), 13);
    for (const auto& r : rows)
    {
        SCOPED_TRACE (r.name);
        EXPECT_EQ (p.getParameterName (r.index), juce::String (r.name));
        EXPECT_FLOAT_EQ (p.getParameterMin (r.index), r.min);
        EXPECT_FLOAT_EQ (p.getParameterMax (r.index), r.max);
        EXPECT_FLOAT_EQ (p.getParameterDefault (r.index), r.scaledDefault);
        EXPECT_FLOAT_EQ (p.getParameterDefaultValue (r.index), r.normalizedDefault);
        EXPECT_FLOAT_EQ (p.getParameter (r.index), r.atConstruction);
        EXPECT_NEAR (p.getScaledParameter (r.index), r.scaledAtConstruction,
                     1e-4f * (1.0f + std::fabs (r.scaledAtConstruction)));
    }
    EXPECT_EQ (p.getParameterName (13), juce::String ("unknown"));
    EXPECT_EQ (p.getName(), juce::String ("++durafold"));
    EXPECT_EQ (p.getParameterText (7), juce::String ("5.00"));
}

TEST (DurafoldParameters, ScaledValuesConvertBack)
{
    DurafoldAudioProcessor p;
    struct Case
    {
        int index;
        float scaled, normalized;
    };
    const Case cases[] = {
        { 0, 10.0f, 0.5f },     { 0, 100.0f, 1.0f }, { 1, 2.0f, 0.75f },       { 2, 2048.0f, 0.8f },
        { 3, 0.3f, 0.488561f }, { 4, 50.0f, 0.5f },  { 7, 6.0f, 2.0f / 3.0f }, { 7, 6.9f, 2.0f / 3.0f },
        { 8, 70.0f, 0.7f },     { 9, 10.0f, 0.75f }, { 12, 0.3f, 0.3f },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.index);
        p.setScaledParameter (c.index, c.scaled);
        EXPECT_NEAR (p.getParameter (c.index), c.normalized, 2e-5f);
    }
    // Voices report the truncated whole number.
    p.setParameter (P::voicesParam, 0.9f);
    EXPECT_EQ (p.getScaledParameter (P::voicesParam), 7.0f);
}

TEST (DurafoldProcessor, FirstBlockOfANewProcessor)
{
    Rig rig;
    rig.run (512);
    auto& p = *rig.proc;
    EXPECT_EQ (p.transform.fftSize, 1024);
    EXPECT_EQ (p.transform.hop, 128); // the vocoder's hop, from construction on
    EXPECT_EQ (p.getReportedLatency(), 0);
    EXPECT_EQ (p.voiceCount, 5);
    EXPECT_FLOAT_EQ (p.voiceGain, std::sqrt (0.2f));
    EXPECT_FLOAT_EQ (p.readSpeed, 1.0f);
    EXPECT_FLOAT_EQ (p.rate, 1.0f);
    EXPECT_EQ (p.fadeLength, 1102);

    veltrane::ShortTimeTransform reference (false);
    reference.overlapShift = 3;
    reference.windowKind = veltrane::blackmanWindow;
    reference.setFFTSize (1024);
    for (int i = 0; i < 1024; ++i)
    {
        ASSERT_EQ (p.transform.analysisWindow[i], reference.analysisWindow[i]) << i;
        ASSERT_EQ (p.transform.synthesisWindow[i], reference.synthesisWindow[i]) << i;
    }
}

TEST (DurafoldProcessor, FadeRampExistsBeforePrepareAndFollowsTheRate)
{
    DurafoldAudioProcessor p;
    EXPECT_EQ (p.fadeLength, 1102);
    EXPECT_EQ (p.fadeRamp[0], 0.0f);
    EXPECT_GT (p.fadeRamp[1101], 0.99f);

    const struct
    {
        double rate;
        float used;
        std::int64_t fade;
    } rates[] = { { 48000.0, 48000.0f, 1200 },
                  { 192000.0, 192000.0f, 4800 },
                  { 32000.0, 44100.0f, 1102 },
                  { 384000.0, 44100.0f, 1102 },
                  { std::numeric_limits<double>::quiet_NaN(), 44100.0f, 1102 } };
    for (const auto& r : rates)
    {
        p.prepareToPlay (r.rate, 512);
        EXPECT_EQ (p.sampleRate, r.used);
        EXPECT_EQ (p.fadeLength, r.fade);
        EXPECT_NEAR (p.fadeRamp[(size_t) r.fade / 2], 0.5f, 2e-3f);
        EXPECT_FLOAT_EQ (p.period, r.used); // rate 1
    }
}

TEST (DurafoldProcessor, TempoLock)
{
    struct Case
    {
        bool position;
        double bpm; // 0 = none given
        float expectedRate;
    };
    // Without a usable tempo the rate is left as the knob set it.
    const Case cases[] = {
        { true, 120.0, 2.0f }, { true, 300.0, 5.0f }, { true, 0.0, 1.0f }, { true, -60.0, 1.0f }, { false, 0.0, 1.0f }
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.bpm);
        Rig rig;
        TempoHead head;
        head.hasPosition = c.position;
        if (c.bpm != 0.0)
            head.bpm = c.bpm;
        rig.proc->setPlayHead (&head);
        rig.set (P::tempolockParam, 1.0f);
        rig.run (256);
        EXPECT_NEAR (rateOf (*rig.proc), c.expectedRate, 1e-4f);
        EXPECT_NEAR (rig.proc->rate, c.expectedRate, 1e-4f);
        EXPECT_NEAR (rig.proc->period, 44100.0f / c.expectedRate, 0.05f);
    }

    // Between position messages the last known tempo holds; with the lock off the rate is free.
    Rig rig;
    TempoHead head;
    head.bpm = 120.0;
    rig.proc->setPlayHead (&head);
    rig.set (P::tempolockParam, 1.0f);
    rig.run (64);
    head.hasPosition = false;
    rig.set (P::rateParam, 0.5f);
    rig.run (64);
    EXPECT_NEAR (rig.proc->rate, 2.0f, 1e-4f);
    rig.proc->setPlayHead (nullptr);
    rig.run (64);
    EXPECT_NEAR (rig.proc->rate, 2.0f, 1e-4f);
    rig.set (P::tempolockParam, 0.0f);
    rig.set (P::rateParam, 0.5f);
    rig.run (64);
    EXPECT_NEAR (rig.proc->rate, 1.0f, 1e-4f);
}

TEST (DurafoldProcessor, MonoFillsOnlyTheLeftHistory)
{
    for (float mode : { 0.0f, 1.0f })
    {
        Rig rig (1);
        rig.set (P::grainorpvocParam, mode);
        for (int b = 0; b < 40; ++b)
            rig.run (512);
        const auto& h = rig.proc->history;
        float left = 0.0f, right = 0.0f;
        for (int i = 0; i < 40 * 512; ++i)
        {
            left = std::max (left, std::fabs (h[0][(size_t) i]));
            right = std::max (right, std::fabs (h[1][(size_t) i]));
        }
        EXPECT_GT (left, 0.1f);
        EXPECT_EQ (right, 0.0f);
        EXPECT_EQ (h[0][100], durafoldtest::signal (100, 0)); // ingain 0 dB
        EXPECT_EQ (rig.proc->meters[P::inputRightMeter].load(), 0.0f);
        EXPECT_GT (rig.proc->meters[P::inputLeftMeter].load(), 0.0f);
        EXPECT_GT (rig.proc->meters[P::outputLeftMeter].load(), 0.0f);
        EXPECT_EQ (rig.proc->meters[P::outputRightMeter].load(), 0.0f);
    }
}

TEST (DurafoldProcessor, DryWetMix)
{
    // wetdry 0: input x ingain x outgain; wetdry 100: the output gain has no effect.
    struct Case
    {
        float ingain, outgain;
    };
    for (const Case c : { Case { 0.5f, 0.5f }, Case { 0.75f, 0.25f }, Case { 0.3f, 0.9f } })
    {
        Rig rig;
        rig.set (P::wetdryParam, 0.0f);
        rig.set (P::ingainParam, c.ingain);
        rig.set (P::outgainParam, c.outgain);
        const float gin = std::pow (10.0f, 2.0f * c.ingain - 1.0f);
        const float gout = std::pow (10.0f, 2.0f * c.outgain - 1.0f);
        for (int b = 0; b < 3; ++b)
        {
            const auto start = rig.time;
            auto out = rig.run (300);
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 300; ++i)
                    ASSERT_EQ (out.getSample (ch, i), gout * (durafoldtest::signal (start + i, ch) * gin)) << i;
        }
    }

    Rig a, b;
    for (auto* r : { &a, &b })
        r->set (P::wetdryParam, 1.0f);
    a.set (P::outgainParam, 0.1f);
    b.set (P::outgainParam, 0.9f);
    float energy = 0.0f;
    for (int k = 0; k < 200; ++k)
    {
        auto x = a.run (512);
        auto y = b.run (512);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 512; ++i)
            {
                ASSERT_EQ (x.getSample (ch, i), y.getSample (ch, i));
                energy += x.getSample (ch, i) * x.getSample (ch, i);
            }
    }
    EXPECT_GT (energy, 1.0f); // the wet signal is really there
}

TEST (DurafoldProcessor, ReenteredBlockIsLeftAlone)
{
    Rig rig;
    rig.proc->busy = true;
    auto in = rig.block (128);
    auto copy = in;
    juce::MidiBuffer midi;
    rig.proc->processBlock (in, midi);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 128; ++i)
            ASSERT_EQ (in.getSample (ch, i), copy.getSample (ch, i));
    EXPECT_EQ (rig.proc->getSampleClock(), 0);
    EXPECT_EQ (rig.proc->writeIndex, 0);
}

TEST (DurafoldProcessor, VoiceCountAndSizeStayInRange)
{
    struct Case
    {
        float voices, bands;
        std::int64_t count;
        int size;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = { { 5.0f, 7.0f, 8, 16384 }, { -3.0f, -5.0f, 2, 16 }, { 1.0f, 1.0f, 8, 16384 },
                           { 0.0f, 0.0f, 2, 16 },    { inf, -inf, 5, 1024 },  { nan, nan, 5, 1024 } };
    // Values that are not numbers at all act as the construction values.
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.voices);
        Rig rig;
        rig.set (P::voicesParam, c.voices);
        rig.set (P::bandsParam, c.bands);
        rig.set (P::grainorpvocParam, 1.0f);
        rig.run (512);
        EXPECT_EQ (rig.proc->voiceCount, c.count);
        EXPECT_EQ (rig.proc->transform.fftSize, c.size);
    }
}

TEST (DurafoldProcessor, HostileValuesNeitherHangNorPoison)
{
    const float bad[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(), 1e30f, -1e30f };
    for (float mode : { 0.0f, 1.0f })
        for (int index = 0; index < P::numParams; ++index)
        {
            if (index == P::grainorpvocParam)
                continue;
            Rig rig;
            rig.set (P::grainorpvocParam, mode);
            for (float v : bad)
            {
                rig.set (index, v);
                rig.run (700);
            }
            // Back to the construction value, and a NaN and an infinite input block on top.
            rig.set (index, DurafoldAudioProcessor().getParameter (index));
            auto b = rig.block (64);
            b.setSample (0, 3, std::numeric_limits<float>::quiet_NaN());
            b.setSample (1, 9, std::numeric_limits<float>::infinity());
            juce::MidiBuffer midi;
            rig.proc->processBlock (b, midi);
            rig.run (44100); // longer than a grain or a frame, shorter than the history
            for (int k = 0; k < 20; ++k)
            {
                auto out = rig.run (512);
                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < 512; ++i)
                        ASSERT_TRUE (std::isfinite (out.getSample (ch, i))) << "param " << index << " mode " << mode;
            }
            for (auto& m : rig.proc->meters)
                EXPECT_TRUE (std::isfinite (m.load()));
        }
}

TEST (DurafoldProcessor, LongBlocksEqualHostSubBlocks)
{
    for (float mode : { 0.0f, 1.0f })
    {
        Rig whole, parts;
        for (auto* r : { &whole, &parts })
        {
            r->set (P::grainorpvocParam, mode);
            r->set (P::rateParam, 0.9f);
            r->set (P::stretchParam, 0.3f);
        }
        for (int round = 0; round < 6; ++round)
        {
            auto a = whole.run (5000);
            std::vector<float> b[2];
            for (int n : { 2048, 2048, 904 })
            {
                auto piece = parts.run (n);
                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < n; ++i)
                        b[ch].push_back (piece.getSample (ch, i));
            }
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 5000; ++i)
                    ASSERT_EQ (a.getSample (ch, i), b[ch][(size_t) i]) << "mode " << mode << " sample " << i;
        }
        EXPECT_EQ (whole.proc->getSampleClock(), parts.proc->getSampleClock());
    }
}
