#include "PhaseMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

TEST (PhaseMath, ArcTangentIsCorrectlyRounded)
{
    // The float library's atan2 is off by one unit in the last place for a sixth of all
    // arguments; the engine's phase is the double-precision value rounded once.
    std::mt19937 rng (11);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    for (int i = 0; i < 1000000; ++i)
    {
        const float scale = std::ldexp (1.0f, (int) (rng() % 60) - 40);
        const float y = dist (rng) * scale, x = dist (rng) * scale;
        ASSERT_EQ (veltrane::atan2Rounded (y, x), (float) std::atan2 ((double) y, (double) x)) << y << " " << x;
    }
    for (float zero : { 0.0f, -0.0f })
        for (float x : { 1.0f, -1.0f, 0.0f, -0.0f })
            EXPECT_EQ (veltrane::atan2Rounded (zero, x), std::atan2 (zero, x)) << zero << " " << x;
    EXPECT_EQ (veltrane::atan2Rounded (-1.0f, 0.0f), std::atan2 (-1.0f, 0.0f));
    EXPECT_EQ (veltrane::atan2Rounded (1e-30f, 1e30f), std::atan2 (1e-30f, 1e30f));
}

TEST (PhaseMath, SineAndCosineAreCorrectlyRounded)
{
    std::mt19937 rng (12);
    std::uniform_real_distribution<float> dist (-5000.0f, 5000.0f);
    for (int i = 0; i < 1000000; ++i)
    {
        const float x = i < 1000 ? (float) i * 0.0015707963f : dist (rng) / (float) (1 + rng() % 1000);
        float s, c;
        veltrane::sinCosRounded (x, s, c);
        ASSERT_EQ (s, (float) std::sin ((double) x)) << x;
        ASSERT_EQ (c, (float) std::cos ((double) x)) << x;
    }
}

TEST (PhaseMath, WrapTakesWholeTurnsAndSurvivesAnyValue)
{
    const float pi = 4.0f * std::atan (1.0f), twoPi = 8.0f * std::atan (1.0f);
    struct Case
    {
        float in, out;
    };
    const Case cases[] = { { 0.5f, 0.5f },
                           { pi + 0.5f, pi + 0.5f - twoPi },
                           { -pi - 0.5f, -pi - 0.5f + twoPi },
                           { 7.0f * pi, 7.0f * pi - twoPi - twoPi - twoPi },
                           { std::nanf (""), 0.0f },
                           { INFINITY, 0.0f } };
    for (const auto& c : cases)
        EXPECT_EQ (veltrane::wrapPhase (c.in, pi, twoPi), c.out) << c.in;
    // Huge values are reduced first, so the loops end at once.
    const float w = veltrane::wrapPhase (1.0e30f, pi, twoPi);
    EXPECT_LE (std::fabs (w), pi);
}

TEST (PhaseMath, BranchFreeWrapEqualsTheWrapUpToSixPi)
{
    // Every float near each multiple of pi up to 6 pi, and random values between them.
    const float pi = 4.0f * std::atan (1.0f), twoPi = 8.0f * std::atan (1.0f);
    std::vector<float> values;
    for (int k = -6; k <= 6; ++k)
    {
        float up = (float) k * pi, down = up;
        for (int j = 0; j < 64; ++j)
        {
            values.push_back (up);
            values.push_back (down);
            up = std::nextafter (up, 100.0f);
            down = std::nextafter (down, -100.0f);
        }
    }
    std::mt19937 rng (4);
    std::uniform_real_distribution<float> dist (-6.0f * pi, 6.0f * pi);
    for (int i = 0; i < 1000000; ++i)
        values.push_back (dist (rng));
    for (float d : values)
    {
        if (std::fabs (d) <= 6.0f * pi)
        {
            ASSERT_EQ (veltrane::wrapPhaseThrice (d, pi, twoPi), veltrane::wrapPhase (d, pi, twoPi)) << d;
        }
    }
}
