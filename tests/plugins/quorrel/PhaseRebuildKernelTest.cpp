#include "PhaseMath.h"
#include "PhaseRebuildKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace
{
constexpr float pi = 3.14159265358979f;
constexpr float twoPi = 2.0f * pi;

/** The rebuild bin by bin, one draw at a time, as the processor states it. */
void rebuildOneByOne (const float* in, float* out, float* measured, float* accumulated, int bins, int rotation,
                      std::uint32_t& state, const quorrel::RebuildSettings& s)
{
    int o = rotation;
    for (int i = 0; i < bins; ++i)
    {
        const float phi = in[2 * i + 1];
        const float d = phi - measured[i];
        measured[i] = phi;
        state = state * quorrel::randomMultiplier + quorrel::randomIncrement;
        const float r = (float) ((double) (float) state * (1.0 / 2147483648.0) - 1.0);
        float delta = r * s.noise * s.twoPi + (s.offset + s.keep * d);
        delta = veltrane::wrapPhase (delta, s.pi, s.twoPi);
        float acc = accumulated[i] + delta;
        if (std::fabs (acc) > 4096.0f)
            acc = std::remainder (acc, s.twoPi);
        accumulated[i] = acc;
        out[2 * o] = in[2 * i];
        out[2 * o + 1] = acc;
        if (++o == bins)
            o = 0;
    }
}

bool sameBits (const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp (a.data(), b.data(), sizeof (float) * a.size()) == 0;
}

struct Case
{
    const char* name;
    float noise, phaseshift, phasenull; // normalized, as the parameters hold them
    float phaseScale;                   // spread of the input phases, radians
    float startPhase;                   // spread of the running phases at the start, radians
};

// Frames in a row, so that the memories and the generator carry over as in a session.
constexpr int frames = 6;
} // namespace

TEST (PhaseRebuildKernel, EqualsTheBinByBinRebuildBitForBit)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        { "construction values", 0.0f, 0.5f, 0.0f, pi, 0.0f },
        { "full noise", 1.0f, 0.5f, 0.0f, pi, 0.0f },
        { "noise, shift and null", 0.37f, 0.81f, 0.42f, pi, 0.0f },
        { "frozen", 0.0f, 0.5f, 1.0f, pi, 0.0f },
        { "advances beyond 6 pi (a restored out-of-range value)", 3.5f, -2.0f, -4.0f, pi, 0.0f },
        { "running phases at the limit", 0.5f, 0.1f, 0.0f, pi, 4100.0f },
        { "after a reset of the largest size", 0.0f, 0.5f, 0.0f, pi, 6434.0f },
        { "huge advances", 1.0e6f, 1.0e7f, -1.0e8f, 1.0e3f, 1.0e5f },
        { "infinite noise", inf, 0.5f, 0.0f, pi, 0.0f },
        { "NaN null", 0.2f, 0.5f, nan, pi, 0.0f },
    };
    std::mt19937 rng (7);
    for (const auto& c : cases)
        for (int bins : { 1, 4, 17, 512, 8192 })
            for (int turn : { 0, 1, bins / 3, bins - 1 })
            {
                const int rotation = turn % bins;
                SCOPED_TRACE (testing::Message() << c.name << ", " << bins << " bins, rotation " << rotation);
                quorrel::RebuildSettings s;
                s.noise = c.noise;
                s.offset = (0.5f - c.phaseshift) * twoPi;
                s.keep = 1.0f - c.phasenull;
                s.pi = pi;
                s.twoPi = twoPi;
                std::uniform_real_distribution<float> phase (-c.phaseScale, c.phaseScale);
                std::uniform_real_distribution<float> start (-c.startPhase, c.startPhase);
                std::vector<float> measured ((size_t) bins), accumulated ((size_t) bins);
                for (int i = 0; i < bins; ++i)
                {
                    measured[(size_t) i] = phase (rng);
                    accumulated[(size_t) i] = start (rng);
                }
                auto measuredRef = measured, accumulatedRef = accumulated;
                std::uint32_t state = rng(), stateRef = state;
                std::vector<float> scratch (2 * (size_t) bins);
                for (int f = 0; f < frames; ++f)
                {
                    std::vector<float> in (2 * (size_t) bins);
                    for (int i = 0; i < bins; ++i)
                    {
                        in[2 * (size_t) i] = (float) i;
                        in[2 * (size_t) i + 1] = phase (rng);
                    }
                    if (bins > 2 && f == 2)
                        in[3] = nan; // a damaged bin
                    std::vector<float> out (2 * (size_t) bins, -1.0f), outRef = out;
                    quorrel::rebuildPhases (in.data(), out.data(), measured.data(), accumulated.data(), bins, rotation,
                                            state, s, scratch.data());
                    rebuildOneByOne (in.data(), outRef.data(), measuredRef.data(), accumulatedRef.data(), bins,
                                     rotation, stateRef, s);
                    ASSERT_TRUE (sameBits (out, outRef)) << "frame " << f;
                    ASSERT_TRUE (sameBits (measured, measuredRef)) << "frame " << f;
                    ASSERT_TRUE (sameBits (accumulated, accumulatedRef)) << "frame " << f;
                    ASSERT_EQ (state, stateRef) << "frame " << f;
                }
            }
}

TEST (PhaseRebuildKernel, AdvancingTheGeneratorEqualsStepping)
{
    std::uint32_t stepped = 0x5eed1234u;
    std::int64_t done = 0;
    for (std::int64_t steps : { 0, 1, 2, 15, 16, 17, 1000, 65536, 1000003 })
    {
        for (; done < steps; ++done)
            stepped = stepped * quorrel::randomMultiplier + quorrel::randomIncrement;
        EXPECT_EQ (quorrel::advanceRandom (0x5eed1234u, steps), stepped) << steps << " steps";
    }
}
