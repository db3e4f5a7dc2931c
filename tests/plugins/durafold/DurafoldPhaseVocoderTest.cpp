#include "DurafoldTestRig.h"
#include "TransformSize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using durafoldtest::Rig;
using P = DurafoldAudioProcessor;

namespace
{
/** Runs one-sample blocks until a voice other than the current one restarts; returns it. */
std::int64_t runUntilRestart (Rig& rig, int limit)
{
    const auto before = rig.proc->currentVoice;
    for (int t = 0; t < limit; ++t)
    {
        rig.run (1);
        if (rig.proc->currentVoice != before)
            return rig.proc->currentVoice;
    }
    return -1;
}

bool stateIsClear (const durafold::VocoderState& s)
{
    for (int i = 0; i < durafold::VocoderState::maxSize; ++i)
        if (s.output[(size_t) i] != 0.0f || s.frame[(size_t) i] != 0.0f)
            return false;
    for (int k = 0; k < durafold::VocoderState::maxBins; ++k)
        if (s.lastPhase[(size_t) k] != 0.0f || s.runningPhase[(size_t) k] != 0.0f)
            return false;
    return s.analysisRotation == 0 && s.synthesisRotation == 0;
}
} // namespace

TEST (DurafoldPhaseVocoder, AnalysisHopFollowsStretchAndSize)
{
    struct Case
    {
        double stretch;
        float bands;
        int size;
        std::int64_t H;
    };
    // 128 / 100 truncates to 1 (an effective stretch of 128); 256 / 2.5 gives 102.
    const Case cases[] = { { 1.0, 0.6f, 1024, 128 },
                           { 100.0, 0.6f, 1024, 1 },
                           { 2.5, 0.7f, 2048, 102 },
                           { 100.0, 0.0f, 16, 1 },
                           { 100.0, 1.0f, 16384, 20 } };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.stretch);
        Rig rig;
        rig.set (P::grainorpvocParam, 1.0f);
        rig.set (P::stretchParam, durafoldtest::stretchFor (c.stretch));
        rig.set (P::bandsParam, c.bands);
        const int G = c.size / 8;
        rig.run (G * 10);
        EXPECT_EQ (rig.proc->transform.fftSize, c.size);
        EXPECT_EQ (rig.proc->analysisHop, c.H);
        EXPECT_FLOAT_EQ (rig.proc->readSpeed, (float) c.H / (float) G);
        // Voice 0 has not restarted: ten hops moved it ten analysis hops.
        EXPECT_EQ (rig.proc->voices[0].readPosition, 10 * c.H);
    }
}

TEST (DurafoldPhaseVocoder, RestartStartsOneFrameBehindAndStaysThereAtStretchOne)
{
    Rig rig;
    rig.set (P::grainorpvocParam, 1.0f);
    rig.set (P::rateParam, 1.0f); // four restarts per second
    const auto v = runUntilRestart (rig, 20000);
    ASSERT_EQ (v, 1);
    auto& p = *rig.proc;
    const auto& voice = p.voices[v];
    const std::int64_t w = p.writeIndex - 1;
    EXPECT_EQ (voice.segmentStart, w - 1024);
    EXPECT_EQ (voice.segmentEnd, voice.segmentStart + (std::int64_t) (2.5f * p.period));
    EXPECT_TRUE (voice.readPosition == w - 1024 || voice.readPosition == w - 1024 + 128);

    // With H = G the voice reads exactly as fast as the input arrives.
    std::int64_t lag = -1;
    for (int t = 0; t < 3000; ++t)
    {
        const auto before = voice.readPosition;
        rig.run (1);
        if (voice.readPosition != before)
        {
            const auto now = p.writeIndex - voice.readPosition;
            if (lag < 0)
                lag = now;
            ASSERT_EQ (now, lag);
        }
    }
    // Measured after the hop has moved the read position on by H = G.
    EXPECT_GT (lag, 1024 - 128);
    EXPECT_LE (lag, 1024);
}

TEST (DurafoldPhaseVocoder, SegmentsFadeInAndOut)
{
    // A constant input makes every frame sample show the fade that was applied to it.
    Rig rig;
    rig.set (P::grainorpvocParam, 1.0f);
    rig.set (P::rateParam, 1.0f);
    auto& p = *rig.proc;
    auto constantBlock = [&] {
        juce::AudioSampleBuffer b (2, 1);
        b.setSample (0, 0, 1.0f);
        b.setSample (1, 0, 1.0f);
        juce::MidiBuffer midi;
        p.processBlock (b, midi);
    };
    std::int64_t v = -1;
    for (int t = 0; t < 20000 && v < 1; ++t)
    {
        constantBlock();
        if (p.currentVoice != 0)
            v = p.currentVoice;
    }
    ASSERT_EQ (v, 1);
    const auto& voice = p.voices[v];
    const auto s = voice.segmentStart, e = voice.segmentEnd, F = p.fadeLength;
    auto expected = [&] (std::int64_t r) -> float {
        if (r >= e)
            return 0.0f;
        if (r - s < F)
            return p.fadeRamp[(size_t) (r - s)];
        if (e - r < F)
            return p.fadeRamp[(size_t) (e - r)];
        return 1.0f;
    };
    int hops = 0;
    bool sawFadeIn = false, sawFull = false, sawFadeOut = false, sawSilence = false;
    for (int t = 0; t < 30000; ++t)
    {
        const auto before = voice.readPosition;
        constantBlock();
        if (voice.readPosition == before)
            continue;
        ++hops;
        const float* frame = voice.vocoder[0].frame.data();
        for (int i = 0; i < 128; ++i)
        {
            const auto r = before + i;
            ASSERT_EQ (frame[1024 - 128 + i], expected (r)) << r - s;
            sawFadeIn |= r - s < F && r - s > 0;
            sawFull |= expected (r) == 1.0f;
            sawFadeOut |= r < e && e - r < F;
            sawSilence |= r >= e;
        }
    }
    EXPECT_GT (hops, 200);
    EXPECT_TRUE (sawFadeIn && sawFull && sawFadeOut && sawSilence);
}

TEST (DurafoldPhaseVocoder, RunningPhaseFollowsAnalysisPhaseAtStretchOne)
{
    Rig rig;
    rig.set (P::grainorpvocParam, 1.0f);
    rig.set (P::rateParam, 1.0f);
    for (int b = 0; b < 100; ++b)
        rig.run (512);
    auto& p = *rig.proc;
    ASSERT_EQ (p.analysisHop, 128);
    int live = 0;
    for (int v = 0; v < p.voiceCount; ++v)
        for (const auto& s : p.voices[v].vocoder)
            for (int k = 0; k <= 512; ++k)
            {
                const float last = s.lastPhase[(size_t) k], running = s.runningPhase[(size_t) k];
                live += last != 0.0f ? 1 : 0;
                ASSERT_NEAR (std::remainder (running - last, 2.0 * 3.141592653589793), 0.0, 2e-4) << v << " " << k;
            }
    EXPECT_GT (live, 1000);
}

TEST (DurafoldPhaseVocoder, SilenceKeepsPhaseMemoriesAtZero)
{
    DurafoldAudioProcessor p;
    p.prepareToPlay (44100.0, 512);
    p.setParameter (P::grainorpvocParam, 1.0f);
    p.setParameter (P::rateParam, 1.0f);
    p.setParameter (P::voicesParam, 1.0f);
    juce::MidiBuffer midi;
    for (int b = 0; b < 100; ++b)
    {
        juce::AudioSampleBuffer buf (2, 512);
        buf.clear();
        p.processBlock (buf, midi);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 512; ++i)
                ASSERT_EQ (buf.getSample (ch, i), 0.0f);
    }
    for (const auto& voice : p.voices)
        for (const auto& s : voice.vocoder)
            for (int k = 0; k < durafold::VocoderState::maxBins; ++k)
            {
                ASSERT_EQ (s.lastPhase[(size_t) k], 0.0f);
                ASSERT_EQ (s.runningPhase[(size_t) k], 0.0f);
            }
}

TEST (DurafoldPhaseVocoder, SizeChangeClearsEveryVoice)
{
    Rig rig;
    rig.set (P::grainorpvocParam, 1.0f);
    rig.set (P::voicesParam, 1.0f);
    rig.set (P::rateParam, 1.0f);
    for (int b = 0; b < 200; ++b)
        rig.run (512);
    auto& p = *rig.proc;
    int busyVoices = 0;
    for (const auto& voice : p.voices)
        busyVoices += stateIsClear (voice.vocoder[0]) || stateIsClear (voice.vocoder[1]) ? 0 : 1;
    ASSERT_GE (busyVoices, 4);
    const auto read = p.voices[0].readPosition;

    rig.set (P::bandsParam, 0.7f);
    rig.run (1);
    EXPECT_EQ (p.transform.fftSize, 2048);
    EXPECT_EQ (p.transform.hop, 256); // overlap 8 from the first change on
    EXPECT_EQ (p.getReportedLatency(), 2048);
    for (const auto& voice : p.voices)
        for (const auto& s : voice.vocoder)
        {
            EXPECT_TRUE (stateIsClear (s));
            EXPECT_LE (s.hopPosition, 1);
        }
    for (const auto& polar : p.polar)
        for (float x : polar)
            ASSERT_EQ (x, 0.0f);
    // The voices themselves carry on where they were.
    EXPECT_EQ (p.voices[0].readPosition, read);
}

TEST (DurafoldPhaseVocoder, WindowShapes)
{
    struct Case
    {
        float shape;
        int kind;
        float bands; // a later change of size keeps the chosen shape
    };
    const Case cases[] = { { 0.1f, veltrane::hammingWindow, 0.6f }, { 0.3f, veltrane::raisedCosineWindow, 0.6f },
                           { 0.6f, veltrane::kaiserWindow, 0.6f },  { 0.9f, veltrane::blackmanWindow, 0.6f },
                           { 0.1f, veltrane::hammingWindow, 0.7f }, { 0.6f, veltrane::kaiserWindow, 0.45f } };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.shape);
        Rig rig;
        rig.set (P::grainorpvocParam, 1.0f);
        rig.set (P::windowParam, c.shape);
        rig.run (256);
        rig.set (P::bandsParam, c.bands);
        rig.run (256);
        auto& p = *rig.proc;
        veltrane::ShortTimeTransform reference (false);
        reference.windowKind = c.kind;
        reference.overlapShift = 3; // the vocoder's hop N/8, whether or not the size changed
        reference.setFFTSize (veltrane::transformSizeForBands (c.bands));
        ASSERT_EQ (p.transform.fftSize, reference.fftSize);
        for (int i = 0; i < p.transform.fftSize; ++i)
        {
            ASSERT_EQ (p.transform.analysisWindow[i], reference.analysisWindow[i]) << i;
            ASSERT_EQ (p.transform.synthesisWindow[i], reference.synthesisWindow[i]) << i;
        }
    }
}

TEST (DurafoldPhaseVocoder, LevelAtConstructionEqualsLevelAfterASizeRoundTrip)
{
    // The windows are scaled for the vocoder's own hop whether or not "bands" ever changed.
    auto wetLevel = [] (Rig& rig, int seconds) {
        double sum = 0.0;
        const int blocks = seconds * 44100 / 512;
        for (int b = 0; b < blocks; ++b)
        {
            const auto out = rig.run (512);
            for (int i = 0; i < 512; ++i)
                sum += (double) out.getSample (0, i) * out.getSample (0, i);
        }
        return 10.0 * std::log10 (sum / (blocks * 512));
    };
    Rig fresh, roundTrip;
    for (Rig* rig : { &fresh, &roundTrip })
    {
        rig->set (P::grainorpvocParam, 1.0f);
        rig->set (P::wetdryParam, 1.0f);
    }
    // The same timeline for both, so the voices restart alike; levels over the same span.
    wetLevel (fresh, 4);
    const double atConstruction = wetLevel (fresh, 6);
    wetLevel (roundTrip, 1);
    roundTrip.set (P::bandsParam, 0.7f);
    wetLevel (roundTrip, 1);
    roundTrip.set (P::bandsParam, 0.6f);
    wetLevel (roundTrip, 2);
    const double afterRoundTrip = wetLevel (roundTrip, 6);
    RecordProperty ("construction_dB", std::to_string (atConstruction));
    RecordProperty ("round_trip_dB", std::to_string (afterRoundTrip));
    EXPECT_NEAR (atConstruction, afterRoundTrip, 0.1);
}
