#include "VectorMath.h"
#include "DurafoldBinKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace
{
const float pi = 4.0f * std::atan (1.0f);
const float twoPi = 8.0f * std::atan (1.0f);

/** The per-bin steps as plain loops: the magnitude rounded once from double, -atan2 from
    the engine's vector maths (tested against the correctly rounded values in the engine's
    tests), the 2 pi wraps by repeated single-precision subtraction, and m cos a, -(m sin a)
    with the engine's sine and cosine, bin by bin. */
struct Reference
{
    explicit Reference (int n)
        : size (n),
          polar ((size_t) n + 2),
          last ((size_t) n / 2 + 1),
          running ((size_t) n / 2 + 1),
          result ((size_t) n)
    {
    }

    void hop (const std::vector<float>& packed, float ratio)
    {
        const int half = size / 2;
        for (int k = 0; k <= half; ++k)
        {
            const double x = packed[(size_t) k];
            const double y = (k == 0 || k == half) ? 0.0 : packed[(size_t) (size - k)];
            const auto m = (float) std::hypot (x, y);
            const float yf = (float) y, xf = (float) x;
            float angle;
            veltrane::atan2Span (&yf, &xf, &angle, 1);
            auto ph = -angle;
            if (! std::isfinite (ph))
                ph = 0.0f;
            float a = ph;
            if (m < 1e-5f)
                last[(size_t) k] = running[(size_t) k] = 0.0f;
            else
            {
                float d = ph - last[(size_t) k];
                last[(size_t) k] = ph;
                while (d > pi)
                    d -= twoPi;
                while (d < -pi)
                    d += twoPi;
                a = d * ratio + running[(size_t) k];
                while (a > pi)
                    a -= twoPi;
                while (a < -pi)
                    a += twoPi;
                running[(size_t) k] = a;
            }
            polar[(size_t) (2 * k)] = m;
            polar[(size_t) (2 * k + 1)] = a;
            const bool silent = m == 0.0f || std::isnan (m);
            float sn, cs;
            veltrane::sinCosSpan (&a, &sn, &cs, 1);
            const float re = silent ? 0.0f : m * cs;
            const float im = silent ? 0.0f : -(m * sn);
            result[(size_t) k] = re;
            if (k != 0 && k != half)
                result[(size_t) (size - k)] = im;
        }
    }

    int size;
    std::vector<float> polar, last, running, result;
};

/** Noise over several decades, with exact zeros, negative zeros and bins below 1e-5. */
std::vector<float> spectrum (int n, std::uint32_t seed)
{
    std::vector<float> s ((size_t) n);
    for (auto& x : s)
    {
        seed = seed * 1664525u + 1013904223u;
        const float u = (float) (seed >> 8) / 16777216.0f; // 0..1
        const int pick = (int) (seed & 15u);
        x = (u - 0.5f) * std::pow (10.0f, (float) (pick % 8) - 5.0f);
        if (pick == 9)
            x = 0.0f;
        if (pick == 10)
            x = -0.0f;
        if (pick == 11)
            x = 3.0e-6f * (u - 0.5f);
    }
    return s;
}
} // namespace

TEST (DurafoldBinKernel, MatchesThePlainLoopsOverSeveralHops)
{
    struct Case
    {
        int n;
        float ratio; // G / H
    };
    // Stretch 1; one wrap past the range; many wraps (H = 1 at N = 1024 and at N = 16384).
    const Case cases[] = { { 1024, 1.0f },           { 16, 2.0f },     { 2048, 256.0f / 102.0f },
                           { 1024, 128.0f / 12.0f }, { 1024, 128.0f }, { 16384, 2048.0f } };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "N " << c.n << " ratio " << c.ratio);
        const int half = c.n / 2;
        Reference ref (c.n);
        std::vector<float> mag ((size_t) half + 1), phase ((size_t) half + 1), last ((size_t) half + 1),
            running ((size_t) half + 1);
        std::vector<float> result ((size_t) c.n);
        for (std::uint32_t hop = 0; hop < 4; ++hop)
        {
            const auto packed = spectrum (c.n, 77u + hop * 1000u + (std::uint32_t) c.n);
            ref.hop (packed, c.ratio);
            durafold::propagateBins (packed.data(), c.n, c.ratio, pi, twoPi, mag.data(), phase.data(), last.data(),
                                     running.data(), result.data());
            for (int k = 0; k <= half; ++k)
            {
                ASSERT_EQ (mag[(size_t) k], ref.polar[(size_t) (2 * k)]) << k;
                ASSERT_EQ (phase[(size_t) k], ref.polar[(size_t) (2 * k + 1)]) << k;
                ASSERT_EQ (last[(size_t) k], ref.last[(size_t) k]) << k;
                ASSERT_EQ (running[(size_t) k], ref.running[(size_t) k]) << k;
                ASSERT_LE (std::fabs (running[(size_t) k]), pi) << k;
            }
            for (int i = 0; i < c.n; ++i)
                ASSERT_EQ (result[(size_t) i], ref.result[(size_t) i]) << i;
        }
    }
}

TEST (DurafoldBinKernel, NonFiniteBinsNeverReachThePhaseMemory)
{
    const int n = 64, half = n / 2;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto packed = spectrum (n, 5u);
    packed[3] = inf;                 // bin 3: infinite real part, finite imaginary part
    packed[(size_t) (n - 5)] = -inf; // bin 5: infinite imaginary part
    packed[7] = inf;                 // bin 7: both infinite
    packed[(size_t) (n - 7)] = inf;
    packed[9] = nan;  // bin 9: not a number
    packed[0] = -inf; // bin 0
    Reference ref (n);
    std::vector<float> mag ((size_t) half + 1), phase ((size_t) half + 1), last ((size_t) half + 1),
        running ((size_t) half + 1);
    std::vector<float> result ((size_t) n);
    for (int hop = 0; hop < 3; ++hop)
    {
        ref.hop (packed, 3.0f);
        durafold::propagateBins (packed.data(), n, 3.0f, pi, twoPi, mag.data(), phase.data(), last.data(),
                                 running.data(), result.data());
        for (int k = 0; k <= half; ++k)
        {
            ASSERT_TRUE (std::isfinite (last[(size_t) k]) && std::isfinite (running[(size_t) k])) << k;
            ASSERT_EQ (last[(size_t) k], ref.last[(size_t) k]) << k;
            ASSERT_EQ (running[(size_t) k], ref.running[(size_t) k]) << k;
            ASSERT_EQ (phase[(size_t) k], ref.polar[(size_t) (2 * k + 1)]) << k;
        }
        EXPECT_EQ (last[7], -(float) std::atan2 ((double) inf, (double) inf)); // the library's -pi/4
        EXPECT_EQ (result[9], 0.0f);
        EXPECT_EQ (result[(size_t) (n - 9)], 0.0f);
    }
}
