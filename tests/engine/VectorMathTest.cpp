#include "VectorMath.h"
#include "UlpDistance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

namespace
{
using veltrane_test::ulpDistance;

/** Operands over many decades: the spectra the engine converts span them. The odd count
    leaves a partial vector at the end. */
std::vector<float> spread (std::uint32_t seed, float lowExponent, float highExponent)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> unit (-1.0f, 1.0f), exponent (lowExponent, highExponent);
    std::vector<float> v (200003);
    for (auto& x : v)
        x = unit (rng) * std::exp2 (exponent (rng));
    return v;
}
/** 0 stands for the width the loader chose (the spans themselves), then each width this
    build runs on this machine. */
std::vector<int> widths()
{
    std::vector<int> w { 0 };
    for (int lanes : { 1, 4, 8, 16 })
        if (veltrane::vectorMathRuns (lanes))
            w.push_back (lanes);
        else
            std::cout << "vector maths: " << lanes << " lanes not run here\n";
    return w;
}

bool atan2With (int lanes, const float* y, const float* x, float* out, int count)
{
    if (lanes != 0)
        return veltrane::atan2SpanAt (lanes, y, x, out, count);
    veltrane::atan2Span (y, x, out, count);
    return true;
}

bool sinCosWith (int lanes, const float* angle, float* sinOut, float* cosOut, int count)
{
    if (lanes != 0)
        return veltrane::sinCosSpanAt (lanes, angle, sinOut, cosOut, count);
    veltrane::sinCosSpan (angle, sinOut, cosOut, count);
    return true;
}
} // namespace

TEST (VectorMath, ArcTangentWithinItsBoundOfTheCorrectlyRoundedValue)
{
    auto y = spread (1, -40.0f, 40.0f);
    auto x = spread (2, -40.0f, 40.0f);
    // Near the axes and the diagonals, where the reductions change.
    for (std::size_t i = 0; i < y.size(); i += 5)
        y[i] = x[i] * (i % 10 == 0 ? 1e-4f : 1.0f + 1e-6f * (float) (i % 7));
    const float inf = std::numeric_limits<float>::infinity();
    const float special[][2] = { { 0.0f, 1.0f },  { -0.0f, 1.0f },  { 0.0f, -1.0f }, { -0.0f, -1.0f },
                                 { 0.0f, 0.0f },  { -0.0f, -0.0f }, { 1.0f, 0.0f },  { -1.0f, -0.0f },
                                 { inf, 1.0f },   { -inf, 1.0f },   { 1.0f, inf },   { 1.0f, -inf },
                                 { -1.0f, -inf }, { inf, inf },     { -inf, -inf },  { 1e-45f, 3e38f } };
    for (const auto& s : special)
    {
        y.push_back (s[0]);
        x.push_back (s[1]);
    }
    // The width the loader chose, then every width this machine runs.
    for (int lanes : widths())
    {
        SCOPED_TRACE (lanes);
        std::vector<float> out (y.size());
        ASSERT_TRUE (atan2With (lanes, y.data(), x.data(), out.data(), (int) out.size()));
        for (std::size_t i = 0; i < out.size(); ++i)
        {
            const float reference = (float) std::atan2 ((double) y[i], (double) x[i]);
            ASSERT_LE (ulpDistance (out[i], reference), veltrane::vectorMathUlps) << y[i] << " " << x[i];
            ASSERT_EQ (std::signbit (out[i]), std::signbit (reference)) << y[i] << " " << x[i];
        }

        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float ny[] = { nan, 1.0f, nan }, nx[] = { 1.0f, nan, nan };
        float nout[3];
        ASSERT_TRUE (atan2With (lanes, ny, nx, nout, 3));
        for (float v : nout)
            EXPECT_TRUE (std::isnan (v));
    }
}

TEST (VectorMath, SineAndCosineWithinTheirBoundOfTheCorrectlyRoundedValues)
{
    struct Range
    {
        float lowExponent, highExponent;
    };
    // Wrapped phases, phases the kernels leave unwrapped, huge ones, and tiny ones.
    const Range ranges[] = { { -3.0f, 1.65f }, { 1.0f, 16.0f }, { 16.0f, 127.0f }, { -140.0f, -3.0f } };
    for (const auto& r : ranges)
    {
        auto angle = spread (3, r.lowExponent, r.highExponent);
        if (r.lowExponent < -100.0f)
            angle.insert (angle.end(), { 0.0f, -0.0f, 1e-45f });
        for (int lanes : widths())
        {
            SCOPED_TRACE (lanes);
            std::vector<float> sn (angle.size()), cs (angle.size());
            ASSERT_TRUE (sinCosWith (lanes, angle.data(), sn.data(), cs.data(), (int) angle.size()));
            for (std::size_t i = 0; i < angle.size(); ++i)
            {
                const double a = angle[i];
                ASSERT_LE (ulpDistance (sn[i], (float) std::sin (a)), veltrane::vectorMathUlps) << angle[i];
                ASSERT_LE (ulpDistance (cs[i], (float) std::cos (a)), veltrane::vectorMathUlps) << angle[i];
            }
        }
    }

    const float odd[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity() };
    for (int lanes : widths())
    {
        float sn[3], cs[3];
        ASSERT_TRUE (sinCosWith (lanes, odd, sn, cs, 3));
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE (std::isnan (sn[i]) && std::isnan (cs[i])) << lanes << " " << odd[i];
    }
}

TEST (VectorMath, WidthsOnOffer)
{
    EXPECT_TRUE (veltrane::vectorMathRuns (1)); // every build
    for (int lanes : { 0, 2, 3, 32 })
    {
        float in = 1.0f, out = 7.0f, other = 7.0f;
        EXPECT_FALSE (veltrane::vectorMathRuns (lanes)) << lanes;
        EXPECT_FALSE (veltrane::atan2SpanAt (lanes, &in, &in, &out, 1));
        EXPECT_FALSE (veltrane::sinCosSpanAt (lanes, &in, &out, &other, 1));
        EXPECT_EQ (out, 7.0f);
        EXPECT_EQ (other, 7.0f);
    }
}
