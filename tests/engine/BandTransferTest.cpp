#include "BandTransfer.h"
#include "PhaseMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using veltrane::BandTransfer;

namespace
{
const float pi = 4.0f * std::atan (1.0f);
const float twoPi = 8.0f * std::atan (1.0f);

float wrap (float x)
{
    while (x > pi)
        x -= twoPi;
    while (x < -pi)
        x += twoPi;
    return x;
}

/** The transfer written as plainly as possible: the band edges, one scan of all sources per
    band (the first band without a ceiling), the nearest bin by the rule, and loops for the
    wraps. */
struct PlainTransfer
{
    std::vector<float> magnitude, phase, running;

    void run (const std::vector<float>& mag, const std::vector<float>& freq, int count, int n, float hopTwoPi,
              float floor, bool toBinZero)
    {
        const int half = n / 2;
        magnitude.assign ((size_t) half + 1, 0.0f);
        phase.assign ((size_t) half + 1, 0.0f);
        for (float upper = 1.0f; upper > floor;)
        {
            const float lower = std::max (upper * 0.707106f, floor);
            const float ceiling = upper == 1.0f ? std::numeric_limits<float>::max() : upper;
            for (int i = 0; i < count; ++i)
            {
                const float m = mag[(size_t) i];
                if (! (lower < m && m <= ceiling))
                    continue;
                const float f = freq[(size_t) i];
                const float x = (float) n * f;
                if (! (x < (float) n) || (! toBinZero && ! (x > -1.0f)))
                    continue;
                int t = 0;
                if (x > 0.0f)
                {
                    t = (int) x;
                    t += x - (float) t > 0.5f ? 1 : 0;
                }
                if (t >= half)
                    continue;
                if (magnitude[(size_t) t] != 0.0f)
                {
                    magnitude[(size_t) t] += m;
                    continue;
                }
                const float phi = wrap (wrap (((float) t * (1.0f / (float) n) - f) * hopTwoPi) + running[(size_t) t]);
                magnitude[(size_t) t] = m;
                phase[(size_t) t] = phi;
                running[(size_t) t] = phi;
            }
            upper = lower;
        }
    }
};
} // namespace

TEST (BandTransfer, MatchesTheBandPassesBitForBit)
{
    struct Case
    {
        int n;
        float floor;
        bool toBinZero;
        int stride;
        float spread;
        int fewer = 0; // sources left out at the top, as a transposition upward leaves them
    };
    const Case cases[] = {
        { 2048, 0.00001f, false, 1, 1.0f },  // the loop layers' transfer
        { 512, 1.0e-6f, true, 2, 1.0f },     // the pitch shifter's, over polar pairs
        { 1024, 0.3f, true, 1, 1.0f },       // a high gate: few bands
        { 16384, 1.0e-12f, false, 2, 1.0f }, // the lowest floor
        { 256, 1.0e-6f, true, 1, 40.0f },    // frequencies far below bin 0: steps of many turns
        { 16, 0.001f, false, 1, 1.0f },
        { 2048, 0.00001f, false, 1, 1.0f, 3 }, // source counts that are no multiple of four
        { 1024, 1.0e-6f, true, 2, 1.0f, 509 }, // (upward transpositions leave such counts)
        { 16, 0.001f, false, 2, 1.0f, 5 },     // three sources
        { 16, 0.001f, false, 1, 1.0f, 7 },     // one
    };
    std::uint32_t seed = 21;
    auto uniform = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (float) (seed >> 8) / 16777216.0f;
    };
    for (const auto& c : cases)
    {
        const int half = c.n / 2, count = half - c.fewer;
        BandTransfer transfer;
        transfer.setFloor (c.floor);
        PlainTransfer plain;
        plain.running.assign ((size_t) half + 1, 0.0f);
        std::vector<float> running ((size_t) half + 1, 0.0f), outMag ((size_t) half + 1), outPhase ((size_t) half + 1);
        const float hopTwoPi = (float) (c.n / 8) * twoPi;
        for (int frame = 0; frame < 4; ++frame)
        {
            std::vector<float> mag ((size_t) count), freq ((size_t) count), packed ((size_t) (2 * count));
            for (int i = 0; i < count; ++i)
            {
                // Magnitudes from above 1 to below the floor, repeats, zeros and the odd NaN;
                // frequencies folding many sources onto shared targets, some below bin 0.
                const float u = uniform();
                float m = std::pow (10.0f, -13.0f * uniform() + 0.5f);
                if (u < 0.05f)
                    m = 0.25f;
                else if (u < 0.07f)
                    m = 0.0f;
                else if (u < 0.08f)
                    m = std::numeric_limits<float>::quiet_NaN();
                else if (u < 0.09f)
                    m = std::numeric_limits<float>::infinity();
                mag[(size_t) i] = m;
                freq[(size_t) i] = ((float) i * 0.37f + (uniform() - 0.3f) * 4.0f * c.spread) / (float) c.n;
                if (u > 0.995f)
                    freq[(size_t) i] = std::numeric_limits<float>::quiet_NaN();
                packed[(size_t) (2 * i)] = mag[(size_t) i];
                packed[(size_t) (2 * i + 1)] = freq[(size_t) i];
            }
            plain.run (mag, freq, count, c.n, hopTwoPi, c.floor, c.toBinZero);
            const float* magIn = c.stride == 2 ? packed.data() : mag.data();
            const float* freqIn = c.stride == 2 ? packed.data() + 1 : freq.data();
            transfer.assignTargets (freqIn, c.stride, count, c.n, hopTwoPi,
                                    c.toBinZero ? BandTransfer::BelowBinZero::landsInBinZero
                                                : BandTransfer::BelowBinZero::dropped);
            transfer.transfer (magIn, c.stride, count, half, outMag.data(), outPhase.data(), running.data(), pi, twoPi);
            SCOPED_TRACE (testing::Message() << "N " << c.n << " floor " << c.floor << " frame " << frame);
            for (int t = 0; t < half; ++t)
            {
                ASSERT_EQ (outMag[(size_t) t], plain.magnitude[(size_t) t]) << t;
                if (outMag[(size_t) t] != 0.0f)
                {
                    ASSERT_EQ (outPhase[(size_t) t], plain.phase[(size_t) t]) << t;
                }
                ASSERT_EQ (running[(size_t) t], plain.running[(size_t) t]) << t;
            }
            EXPECT_EQ (outMag[(size_t) half], 0.0f);
        }
    }
}

TEST (BandTransfer, BandsAtTheirExactLimits)
{
    for (float floor : { 0.00001f, 1.0e-6f, 0.02f, 1.0e-12f })
    {
        BandTransfer transfer;
        transfer.setFloor (floor);
        std::vector<float> limits { 1.0f };
        for (float upper = 1.0f; upper > floor;)
        {
            upper = std::max (upper * 0.707106f, floor);
            limits.push_back (upper);
        }
        const int bands = (int) limits.size() - 1;
        ASSERT_EQ (transfer.bandCount(), bands);
        auto plainBand = [&] (float m) {
            for (int j = 0; j < bands; ++j)
                if (limits[(size_t) j + 1] < m
                    && m <= (j == 0 ? std::numeric_limits<float>::max() : limits[(size_t) j]))
                    return j;
            return bands;
        };
        std::vector<float> probes { 0.0f,
                                    -0.5f,
                                    2.0f,
                                    1e30f,
                                    std::numeric_limits<float>::max(),
                                    std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity(),
                                    1e-30f };
        for (float limit : limits)
        {
            float up = limit, down = limit;
            for (int k = 0; k < 4; ++k)
            {
                probes.push_back (up);
                probes.push_back (down);
                up = std::nextafter (up, 2.0f);
                down = std::nextafter (down, 0.0f);
            }
        }
        for (float m = floor * 0.9f; m < 1.1f; m *= 1.0013f)
            probes.push_back (m);
        for (float m : probes)
            ASSERT_EQ (transfer.bandOf (m), plainBand (m)) << "floor " << floor << " magnitude " << m;
    }
}

TEST (BandTransfer, AFloorOfOneCarriesNothing)
{
    BandTransfer transfer;
    transfer.setFloor (1.0f);
    EXPECT_EQ (transfer.bandCount(), 0);
    const float mag[] = { 3.0f, 0.5f, 2.0f, 0.9f };
    const float freq[] = { 0.0f, 1.0f / 16, 2.0f / 16, 3.0f / 16 };
    float outMag[9], outPhase[9], running[9] {};
    transfer.assignTargets (freq, 1, 4, 16, twoPi * 2.0f, BandTransfer::BelowBinZero::dropped);
    transfer.transfer (mag, 1, 4, 8, outMag, outPhase, running, pi, twoPi);
    for (float m : outMag)
        EXPECT_EQ (m, 0.0f);
}
