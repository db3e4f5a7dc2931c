#include "VectorMath.h"
#include "DurafoldTestRig.h"

#include <gtest/gtest.h>

#include <vector>

using durafoldtest::Rig;
using P = DurafoldAudioProcessor;

namespace
{
struct Onset
{
    std::int64_t time;
    int slot;
    std::int64_t readBefore; // the voice's read position when the grain started
    std::int64_t readAfter;
};

/** Runs one-sample blocks and records every grain onset of voice 0 (which is not restarted
    during the first voice period). */
std::vector<Onset> onsetsOfVoiceZero (Rig& rig, int samples)
{
    std::vector<Onset> onsets;
    auto& voice = rig.proc->voices[0];
    for (int t = 0; t < samples; ++t)
    {
        const auto last = voice.lastGrainTime;
        const auto read = voice.readPosition;
        rig.run (1);
        if (voice.lastGrainTime != last)
        {
            int slot = -1;
            for (int j = 0; j < durafold::Voice::grainSlots; ++j)
                if (voice.grains[0][j].active && voice.grains[0][j].startTime == (double) voice.lastGrainTime)
                    slot = j;
            EXPECT_GE (slot, 0);
            if (slot >= 0)
            {
                // It played its first sample at its onset: the read position moved on by one.
                EXPECT_EQ (voice.grains[0][slot].readPosition, (float) ((read & P::historyMask) + 1));
                EXPECT_EQ (voice.grains[1][slot].readPosition, voice.grains[0][slot].readPosition);
            }
            onsets.push_back ({ voice.lastGrainTime, slot, read, voice.readPosition });
        }
    }
    return onsets;
}
} // namespace

TEST (DurafoldGranular, OnsetsWaitForTheFirstFreeSlot)
{
    Rig rig;
    rig.set (P::shimmerParam, 0.0f);
    // Grain length 10^-1.5 s = 1394.56 samples, hop g = 174.32: a grain every 175 samples
    // until all eight slots are busy. At 1575 the scan retires slot 0 but finds no slot that
    // was already free, so the ninth grain waits one sample and takes slot 0 at 1576.
    const auto onsets = onsetsOfVoiceZero (rig, 1800);
    const std::int64_t expectedTimes[] = { 175, 350, 525, 700, 875, 1050, 1225, 1400, 1576, 1752 };
    const int expectedSlots[] = { 0, 1, 2, 3, 4, 5, 6, 7, 0, 1 };
    ASSERT_EQ (onsets.size(), std::size (expectedTimes));
    for (size_t i = 0; i < onsets.size(); ++i)
    {
        EXPECT_EQ (onsets[i].time, expectedTimes[i]) << i;
        EXPECT_EQ (onsets[i].slot, expectedSlots[i]) << i;
        const auto& g = rig.proc->voices[0].grains[0][onsets[i].slot];
        EXPECT_FLOAT_EQ (g.length, 1394.5643f);
    }
}

TEST (DurafoldGranular, ReadPositionPace)
{
    struct Case
    {
        double stretch;
        std::int64_t perGrain; // trunc(g / stretch) with g = 174.32
    };
    for (const Case c : { Case { 1.0, 174 }, Case { 100.0, 1 }, Case { 10.0, 17 } })
    {
        SCOPED_TRACE (c.stretch);
        Rig rig;
        rig.set (P::shimmerParam, 0.0f);
        rig.set (P::stretchParam, durafoldtest::stretchFor (c.stretch));
        const auto onsets = onsetsOfVoiceZero (rig, 20000);
        ASSERT_GT (onsets.size(), 100u);
        for (const auto& o : onsets)
            ASSERT_EQ (o.readAfter - o.readBefore, c.perGrain);
        if (c.stretch != 1.0)
            continue;
        // At stretch 1 the voice keeps pace with time, one grain hop per grain.
        const double pace = (double) (onsets.back().readAfter - onsets.front().readBefore)
                            / (double) (onsets.back().time - onsets.front().time + 176);
        EXPECT_NEAR (pace, 1.0, 0.02);
    }
}

TEST (DurafoldGranular, MonoRendersOnlyLeftGrains)
{
    Rig rig (1);
    for (int b = 0; b < 20; ++b)
        rig.run (512);
    const auto& voice = rig.proc->voices[0];
    int active = 0;
    for (int j = 0; j < durafold::Voice::grainSlots; ++j)
    {
        active += voice.grains[0][j].active ? 1 : 0;
        EXPECT_EQ (voice.grains[0][j].active, voice.grains[1][j].active);
        // Right slots start together with the left ones but do not read in mono blocks.
        if (voice.grains[0][j].active && voice.grains[0][j].startTime < (double) rig.proc->getSampleClock() - 1.0)
        {
            EXPECT_NE (voice.grains[0][j].readPosition, voice.grains[1][j].readPosition);
        }
    }
    EXPECT_GT (active, 0);
}

TEST (DurafoldGranular, TimingStaysExactHoursIntoAPerformance)
{
    // Ten hours at 44.1 kHz: far past the point where single-precision sample times lose
    // whole samples. The late processor must sound like the fresh one.
    const std::int64_t tenHours = 10LL * 3600 * 44100;
    Rig fresh, late;
    late.proc->setSampleClock (tenHours);
    for (auto* r : { &fresh, &late })
    {
        r->set (P::rateParam, 0.8f);
        r->set (P::stretchParam, 0.4f);
        r->set (P::grainsizeParam, 0.2f);
        r->set (P::shimmerParam, 0.6f);
    }
    double worst = 0.0, energy = 0.0;
    for (int b = 0; b < 400; ++b)
    {
        auto x = fresh.run (512);
        auto y = late.run (512);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 512; ++i)
            {
                worst = std::max (worst, (double) std::fabs (x.getSample (ch, i) - y.getSample (ch, i)));
                energy += (double) x.getSample (ch, i) * x.getSample (ch, i);
            }
    }
    EXPECT_GT (energy, 1.0);
    // Envelope phases differ only by the rounding of the shimmer offset at a larger time.
    EXPECT_LT (worst, 1e-4);
    int checked = 0;
    for (int v = 0; v < P::maxVoices; ++v)
        if (fresh.proc->voices[v].lastGrainTime != 0)
        {
            ++checked;
            EXPECT_EQ (late.proc->voices[v].lastGrainTime - tenHours, fresh.proc->voices[v].lastGrainTime) << v;
        }
    EXPECT_GE (checked, 2);
    EXPECT_EQ (late.proc->getSampleClock() - tenHours, fresh.proc->getSampleClock());
}

TEST (DurafoldGranular, WetSignalIsTheSumOfWindowedGrains)
{
    // Wet only, so each output sample is the voices' sum itself. After a one-sample block the
    // slots that sounded are exactly those active with a start time not after it, each having
    // read the history sample just before its read position; the envelope is recomputed here
    // with the cosine rounded once from double.
    const float twoPi = 8.0f * std::atan (1.0f);
    struct Case
    {
        float voices, grainsize, shimmer;
        int warmUp;     // samples before the check, enough for every slot to be in use
        bool lingering; // one grain left sounding far past its end, beyond the fast cosine's range
    };
    const Case cases[] = { { 1.0f, 0.0f, 0.25f, 6000, false },
                           { 0.5f, 0.3f, 0.0f, 12000, false },
                           { 1.0f, 1.0f, 1.0f, 160000, false },
                           { 1.0f, 0.0f, 0.5f, 6000, true } };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "voices " << c.voices << " grainsize " << c.grainsize);
        Rig rig;
        auto& p = *rig.proc;
        rig.set (P::wetdryParam, 1.0f);
        rig.set (P::rateParam, 1.0f); // four restarts per second
        rig.set (P::stretchParam, 0.3f);
        rig.set (P::voicesParam, c.voices);
        rig.set (P::grainsizeParam, c.grainsize);
        rig.set (P::shimmerParam, c.shimmer);
        for (int done = 0; done < c.warmUp; done += 2000)
            rig.run (2000);
        if (c.lingering)
        {
            auto& g = p.voices[1].grains;
            for (auto& channel : g)
            {
                channel[3].active = true;
                channel[3].startTime = (double) p.getSampleClock() - 3.0e7;
                channel[3].endTime = 1.0e30; // never retired
            }
        }
        int sounding = 0;
        for (int t = 0; t < 3000; ++t)
        {
            const double now = (double) p.getSampleClock();
            const auto out = rig.run (1);
            for (int ch = 0; ch < 2; ++ch)
            {
                float wet = 0.0f, reach = 0.0f;
                for (int v = 0; v < p.voiceCount; ++v)
                {
                    float sum = 0.0f;
                    for (const auto& g : p.voices[v].grains[ch])
                    {
                        if (! g.active || ! (g.startTime <= now))
                            continue;
                        const auto at = (std::int64_t) g.readPosition - 1;
                        const float y = p.history[(size_t) ch][(size_t) (at & P::historyMask)];
                        const float x = twoPi * (float) (now - g.startTime) * g.inverseLength;
                        float sn, cs; // the engine's cosine, as the envelopes take it
                        veltrane::sinCosSpan (&x, &sn, &cs, 1);
                        const float e = 0.5f - 0.5f * cs;
                        sum += 0.5f * y * e;
                        reach += std::fabs (0.5f * y) * p.voiceGain;
                        sounding += ch;
                    }
                    wet += sum * p.voiceGain;
                }
                // The processor's cosines come in vectors whose lanes may take another of the
                // library's reductions than this one-lane call: the same 1 ulp bound, not the
                // same bits. Each envelope may then differ by an ulp of the cosine (at most
                // 2^-23 times half), the rest of the sum by its own roundings.
                ASSERT_NEAR (out.getSample (ch, 0), wet, reach * 0x1p-22f + 0x1p-24f * std::fabs (wet)) << t;
            }
        }
        EXPECT_GT (sounding, 3000);
    }
}
