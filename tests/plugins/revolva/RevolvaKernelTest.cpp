#include "RevolvaTestRig.h"
#include "VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

using namespace revolvatest;
using P = RevolvaAudioProcessor;

TEST (RevolvaKernel, TransformSizeAndHops)
{
    struct Case
    {
        float bands, stretch;
        int n, ha, hs;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        { 0.0f, 0.0f, 16, 2, 2 },       { 1.0f, 0.0f, 16384, 2048, 2048 }, { 0.75f, 0.0f, 2048, 256, 256 },
        { 0.75f, 1.0f, 2048, 2, 256 },  { 0.0f, 1.0f, 16, 1, 2 },          { 0.6f, 0.0f, 1024, 128, 128 },
        { 0.75f, 0.5f, 2048, 25, 256 }, // stretch 10
        { nan, 0.0f, 16, 2, 2 },        { 7.0f, 0.0f, 16384, 2048, 2048 }, { -1e30f, 0.0f, 16, 2, 2 },
        { 0.75f, nan, 2048, 256, 256 }, { 0.75f, 1e30f, 2048, 1, 256 },
    };
    for (const auto& c : cases)
    {
        Rig r;
        r.p->setParameter (P::bandsParam, c.bands);
        r.p->setParameter (P::stretchParam, c.stretch == c.stretch ? c.stretch : 0.0f);
        r.block (64);
        r.p->setParameter (P::stretchParam, c.stretch);
        r.blocks (3, 512);
        SCOPED_TRACE (testing::Message() << "bands " << c.bands << " stretch " << c.stretch);
        EXPECT_EQ (r.p->transform.fftSize, c.n);
        EXPECT_EQ (r.p->transform.hop, c.n / 8);
        EXPECT_EQ (r.p->analysisHop, c.ha);
        EXPECT_EQ (r.p->synthesisHop, c.hs);
    }
}

namespace
{
/** A processor at N = 2048 whose spectra are fed by hand to stretchShift. */
struct ShiftRig : Rig
{
    ShiftRig()
    {
        p->setParameter (P::stretchParam, 0.0f);
        block (64);
        in.assign ((size_t) p->transform.fftSize, 0.0f);
        out.assign ((size_t) p->transform.fftSize, 0.0f);
        memory.assign (ChannelState::maxBins, 0.0f);
        sum.assign (ChannelState::maxBins, 0.0f);
    }
    void shift (float ratio) { p->stretchShift (out.data(), in.data(), memory.data(), sum.data(), ratio); }
    float magnitude (int k) const { return std::hypot (out[(size_t) k], k == 0 ? 0.0f : out[out.size() - (size_t) k]); }

    std::vector<float> in, out, memory, sum;
};
} // namespace

TEST (RevolvaKernel, BinCentredSineKeepsItsPhaseAndBin)
{
    ShiftRig s;
    const int n = s.p->transform.fftSize;
    const int k0 = 100;
    // The rotated frame of a bin-centred sine has the same spectrum at every hop.
    s.in[(size_t) k0] = 0.3f;
    s.in[(size_t) (n - k0)] = -0.4f;
    s.shift (1.0f); // the first hop measures its advance against a zero phase
    s.shift (1.0f);
    const float re = s.out[(size_t) k0], im = s.out[(size_t) (n - k0)];
    for (int hop = 0; hop < 4; ++hop)
    {
        s.shift (1.0f);
        EXPECT_NEAR (s.magnitude (k0), 0.5f, 1e-6f);
        // The output phase is the running phase: constant when the advance is zero.
        EXPECT_EQ (s.out[(size_t) k0], re);
        EXPECT_EQ (s.out[(size_t) (n - k0)], im);
        EXPECT_FLOAT_EQ (s.memory[(size_t) k0], -std::atan2 (-0.4f, 0.3f));
        for (int k = 1; k < n / 2; ++k)
        {
            if (k != k0)
            {
                ASSERT_EQ (s.magnitude (k), 0.0f) << "bin " << k;
            }
        }
    }

    // Ratio 2 moves the bin to 200; a bin above 1.0 is carried like any loud bin, one at
    // most 0.00001 is not transferred.
    ShiftRig t;
    t.in[100] = 0.5f;
    t.in[300] = 1.5f;
    t.in[400] = 0.00001f;
    t.shift (2.0f);
    t.shift (2.0f);
    EXPECT_NEAR (t.magnitude (200), 0.5f, 1e-6f);
    EXPECT_NEAR (t.magnitude (600), 1.5f, 1e-6f);
    EXPECT_EQ (t.magnitude (800), 0.0f);

    // Ratio 2: sources below B = 512 only, targets reach bin 1023.
    ShiftRig u;
    u.in[511] = 0.5f;
    u.in[600] = 0.5f;
    u.shift (2.0f);
    u.shift (2.0f);
    EXPECT_NEAR (u.magnitude (1022), 0.5f, 1e-6f);
    EXPECT_EQ (u.magnitude (1023), 0.0f);

    // Two sources on one target: the magnitudes add and the louder one's phase stays.
    ShiftRig v;
    v.in[50] = 0.8f;
    v.in[51] = 0.1f;
    v.p->pitchBend = 1.0f;
    v.shift (1.0f);
    EXPECT_NEAR (v.magnitude (50), 0.8f, 1e-6f);
    EXPECT_NEAR (v.magnitude (51), 0.1f, 1e-6f);
}

namespace
{
/** The bin mapping written as plainly as possible: interleaved pairs, one scan of all
    bins per magnitude band, loops for the phase wraps. The processor's version must give
    the same bits. */
struct PlainShift
{
    int n, hs, ha;
    float pi, twoPi, pitchBend;
    std::vector<float> memory, sum;

    static float wrap (float x, float pi, float twoPi)
    {
        while (x > pi)
            x -= twoPi;
        while (x < -pi)
            x += twoPi;
        return x;
    }

    std::vector<float> shift (const std::vector<float>& in, float ratio)
    {
        const int half = n / 2;
        const float t = pitchBend * ratio;
        const int bins = t > 1.0f ? (int) ((float) half / t) : half;
        std::vector<float> polarIn ((size_t) (2 * half + 2)), polarOut ((size_t) (2 * half + 2), 0.0f);
        for (int k = 0; k <= half; ++k)
        {
            const float re = in[(size_t) k], im = (k == 0 || k == half) ? 0.0f : in[(size_t) (n - k)];
            const float m = (float) std::hypot ((double) re, (double) im);
            polarIn[(size_t) (2 * k)] = m;
            float angle; // the engine's arc tangent, bin by bin
            veltrane::atan2Span (&im, &re, &angle, 1);
            polarIn[(size_t) (2 * k + 1)] = m >= 0.0f ? -angle : 0.0f;
        }
        const float invN = 1.0f / (float) n, hopRatio = (float) hs / (float) ha,
                    invTwoPiHs = 1.0f / (twoPi * (float) hs);
        for (int k = 0; k < half; ++k)
        {
            float delta = memory[(size_t) k] - polarIn[(size_t) (2 * k + 1)];
            memory[(size_t) k] = polarIn[(size_t) (2 * k + 1)];
            delta = wrap (delta, pi, twoPi);
            polarIn[(size_t) (2 * k + 1)] = ((float) k * invN + delta * hopRatio * invTwoPiHs) * ratio * pitchBend;
        }
        float upper = 1.0f, lower;
        do
        {
            lower = upper * 0.707106f;
            if ((double) lower < 0.00001)
                lower = 0.00001f;
            // The first band has no ceiling: it takes every finite magnitude above 1.0 too.
            const float ceiling = upper == 1.0f ? std::numeric_limits<float>::max() : upper;
            for (int i = 0; i < bins; ++i)
            {
                const float m = polarIn[(size_t) (2 * i)];
                if (! (lower < m && m <= ceiling))
                    continue;
                const float f = polarIn[(size_t) (2 * i + 1)];
                const float x = (float) n * f;
                int b = (int) std::trunc (x);
                if (x - std::trunc (x) > 0.5f)
                    ++b;
                if (b < 0 || b >= half)
                    continue;
                if (polarOut[(size_t) (2 * b)] != 0.0f)
                {
                    polarOut[(size_t) (2 * b)] += m;
                    continue;
                }
                float phi = wrap (((float) b * invN - f) * twoPi * (float) hs, pi, twoPi);
                phi = wrap (phi + sum[(size_t) b], pi, twoPi);
                polarOut[(size_t) (2 * b + 1)] = phi;
                polarOut[(size_t) (2 * b)] = m;
                sum[(size_t) b] = phi;
            }
            upper = lower;
        } while ((double) lower > 0.00001);
        std::vector<float> out ((size_t) n, 0.0f);
        for (int i = 0; i <= half; ++i)
        {
            const float m = polarOut[(size_t) (2 * i)], phi = polarOut[(size_t) (2 * i + 1)];
            if (m == 0.0f)
                continue;
            float sn, cs;
            veltrane::sinCosSpan (&phi, &sn, &cs, 1);
            out[(size_t) i] = cs * m;
            if (i > 0 && i < half)
                out[(size_t) (n - i)] = -(m * sn);
        }
        return out;
    }
};
} // namespace

TEST (RevolvaKernel, BinMappingMatchesThePlainScanBitForBit)
{
    struct Case
    {
        float bands, stretch, ratio, bend;
    };
    const Case cases[] = {
        { 0.75f, 0.0f, 1.0f, 1.0f },             // N 2048, no stretch, no transposition
        { 0.75f, 1.0f, 2.0f, 1.0f },             // stretch 100, an octave up: half the bins are sources
        { 0.6f, 0.5f, 0.5f, 1.0594631f },        // N 1024, stretch 10, an octave down and bent up
        { 0.0f, 0.3f, 1.4983071f, 0.94387430f }, // N 16
    };
    std::uint32_t seed = 99;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (float) (seed >> 8) / 16777216.0f - 0.5f;
    };
    for (const auto& c : cases)
    {
        Rig r;
        r.p->setParameter (P::bandsParam, c.bands);
        r.p->setParameter (P::stretchParam, c.stretch);
        r.block (64);
        r.p->pitchBend = c.bend;
        const int n = r.p->transform.fftSize;
        PlainShift plain { n,
                           r.p->synthesisHop,
                           r.p->analysisHop,
                           r.p->transform.pi,
                           r.p->transform.twoPi,
                           c.bend,
                           std::vector<float> ((size_t) n, 0.0f),
                           std::vector<float> ((size_t) n, 0.0f) };
        std::vector<float> memory (ChannelState::maxBins, 0.0f), sum (ChannelState::maxBins, 0.0f);
        std::vector<float> in ((size_t) n), out ((size_t) n);
        for (int hop = 0; hop < 6; ++hop)
        {
            // Bins over the whole magnitude range, from above 1 to below 0.00001, with
            // exact zeros, signed zeros and repeated magnitudes that land on one target.
            for (int k = 0; k < n; ++k)
            {
                const float level = std::pow (10.0f, -6.5f * std::fabs (noise()) * 2.0f + 0.3f);
                in[(size_t) k] = k % 17 == 3 ? 0.0f : (k % 23 == 5 ? -0.0f : level * noise());
            }
            in[(size_t) (n / 4)] = in[(size_t) (n / 4 + 1)] = 0.25f;
            const std::vector<float> expected = plain.shift (in, c.ratio);
            r.p->stretchShift (out.data(), in.data(), memory.data(), sum.data(), c.ratio);
            SCOPED_TRACE (testing::Message() << "N " << n << " ratio " << c.ratio << " hop " << hop);
            for (int k = 0; k < n; ++k)
                ASSERT_EQ (std::memcmp (&out[(size_t) k], &expected[(size_t) k], sizeof (float)), 0)
                    << "element " << k << ": " << out[(size_t) k] << " vs " << expected[(size_t) k];
            for (int k = 0; k < n / 2; ++k)
            {
                ASSERT_EQ (memory[(size_t) k], plain.memory[(size_t) k]) << "phase memory " << k;
                ASSERT_EQ (sum[(size_t) k], plain.sum[(size_t) k]) << "phase sum " << k;
            }
        }
    }
}

TEST (RevolvaKernel, LoopReadsForwardBackwardAndWithEqualEnds)
{
    Rig r;
    r.p->setParameter (P::stretchParam, 0.0f);
    r.block (64);
    auto& layer = r.p->layers[0];
    for (int i = 0; i < LoopLayer::layerLength; ++i)
        layer.leftBuffer[i] = (float) i;
    // The beat clock stays far from the loop end so only positions restart the loop.
    r.p->hopClock = 0.0;
    layer.loopEndBeat = 1e9;
    layer.loopOutputLength = 0.0f;
    r.p->fractionCarry = 0.0f;

    struct Case
    {
        int start, end;
        int from;
        std::vector<float> expected;
        int position;
    };
    const int n = r.p->transform.fftSize;
    const std::vector<Case> cases = {
        { 1000, 1004, 1002, { 1002, 1003, 1000, 1001, 1002, 1003 }, 1000 },
        { 2000, 1996, 1998, { 1998, 1997, 2000, 1999, 1998, 1997 }, 2000 },
        { 0, 3, 1, { 1, 2, 0, 1, 2, 0 }, 1 },
    };
    for (const auto& c : cases)
    {
        layer.startPosition = c.start;
        layer.loopSourceLength = (float) (c.end - c.start);
        r.p->lastApplied[P::start1Param].set (0.1f);
        r.p->lastApplied[P::end1Param].set (0.2f);
        std::vector<float> got (c.expected.size());
        r.p->getSamples (got.data(), (int) got.size(), 0, 0, c.from);
        EXPECT_EQ (got, c.expected) << "start " << c.start << " end " << c.end;
        EXPECT_EQ (layer.playPosition, c.position);
    }

    // Equal start and end: forward restarts N frames before the start, backward N after.
    layer.startPosition = 5000;
    layer.loopSourceLength = 0.0f;
    r.p->lastApplied[P::start1Param].set (0.3f);
    r.p->lastApplied[P::end1Param].set (0.3f);
    std::vector<float> got (3);
    r.p->getSamples (got.data(), 3, 0, 0, 4998);
    EXPECT_EQ (got, (std::vector<float> { 4998, 4999, (float) (5000 - n) }));
    r.p->getSamples (got.data(), 3, 0, 0, 5001);
    EXPECT_EQ (got, (std::vector<float> { 5001, (float) (5000 + n), (float) (5000 + n - 1) }));

    // A beat-synchronised restart: the cycle ends when the clock passes loopEndBeat.
    layer.startPosition = 100;
    layer.loopSourceLength = 1000.0f;
    layer.loopOutputLength = 1000.0f;
    r.p->lastApplied[P::end1Param].set (0.9f);
    r.p->hopClock = 10.0 - 2.5 * r.p->beatsPerSample;
    layer.loopEndBeat = 10.0;
    r.p->getSamples (got.data(), 3, 0, 0, 500);
    EXPECT_EQ (got, (std::vector<float> { 500, 501, 502 }));
    EXPECT_EQ (layer.playPosition, 100);
    EXPECT_EQ (layer.loopStartBeat, 11.0);
    EXPECT_NEAR (layer.loopEndBeat, 10.0 + 1000.0 * r.p->beatsPerSample, 1e-9);
}

TEST (RevolvaKernel, PlaysTheLoopAndRecoversFromNonFiniteInput)
{
    Rig r (2, 512);
    r.p->setParameter (P::stretchParam, 0.0f);
    r.p->setParameter (P::attackParam, 0.0f);
    r.setRegion (0, 0, 48000);
    r.block (512);
    // A bin-centred tone (bin 64 of 2048) at an amplitude whose bins stay below 1.0.
    const float w = 2.0f * 3.14159265f * 64.0f / 2048.0f;
    for (int i = 0; i < 60000; ++i)
        r.p->layers[0].leftBuffer[i] = r.p->layers[0].rightBuffer[i] = 0.2f * std::sin (w * (float) i);
    for (int i = 3000; i < 3010; ++i)
        r.p->layers[0].leftBuffer[i] =
            i & 1 ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
    r.p->setParameter (P::play1Param, 1.0f);
    float peak = 0.0f;
    bool finite = true;
    for (int k = 0; k < 40; ++k)
    {
        r.block (512);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
            {
                const float y = r.buffer.getSample (c, i);
                finite = finite && std::isfinite (y);
                if (k > 20)
                    peak = std::max (peak, std::fabs (y));
            }
    }
    EXPECT_TRUE (finite);
    EXPECT_GT (peak, 0.1f);
    EXPECT_LT (peak, 0.4f);
    for (float v : r.p->layers[0].leftState.phaseSum)
        ASSERT_TRUE (std::isfinite (v));
}

TEST (RevolvaKernel, AnyParameterValueIsSafe)
{
    const float values[] = { std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             1e30f,
                             -1e30f,
                             2.0f,
                             -1.0f };
    for (float v : values)
    {
        Rig r (2, 256);
        for (int i = 0; i < 4096; ++i)
            r.p->layers[0].leftBuffer[i] = r.p->layers[1].rightBuffer[i] = 0.1f * std::sin (0.1f * (float) i);
        r.p->setParameter (P::play1Param, 1.0f);
        r.p->setParameter (P::play1Param + 1, 1.0f);
        r.block (256);
        for (int i = 0; i < P::numParams; ++i)
            if (i != P::gain1Param && i != P::gain1Param + 1 && i != P::outgainParam && i != P::record1Param)
                r.p->setParameter (i, v);
        r.note (0x90, 64, 100);
        r.note (0xE0, 0x7F, 0x7F);
        r.blocks (6, 256);
        SCOPED_TRACE (v);
        EXPECT_GE (r.p->transform.fftSize, 16);
        EXPECT_LE (r.p->transform.fftSize, 16384);
        for (const auto& layer : r.p->layers)
        {
            EXPECT_GE (layer.startPosition, 0);
            EXPECT_LE (layer.startPosition, LoopLayer::layerMask);
            for (int i = 0; i < r.p->transform.fftSize; ++i)
                ASSERT_TRUE (std::isfinite (layer.leftState.phaseSum[(size_t) i]));
        }
    }
}
