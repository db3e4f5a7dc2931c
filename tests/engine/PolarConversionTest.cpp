#include "PolarConversion.h"
#include "UlpDistance.h"
#include "VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

TEST (PolarConversion, RoundTripAndNegatedPhaseConvention)
{
    const int n = 1024;
    const float pi = 4.0f * std::atan (1.0f);
    std::vector<float> hc ((size_t) n), polar ((size_t) n + 2), back ((size_t) n);
    for (int k = 0; k < n; ++k)
        hc[(size_t) k] = std::sin (0.37f * (float) k) * 3.0f;
    hc[0] = -2.0f; // negative DC
    hc[(size_t) (n - 5)] = -1.0f;
    hc[5] = 0.0f; // bin 5: real 0, imaginary -1
    veltrane::toPolarPairs (hc.data(), n, polar.data());
    EXPECT_FLOAT_EQ (polar[0], 2.0f);
    EXPECT_FLOAT_EQ (polar[1], -pi);
    EXPECT_FLOAT_EQ (polar[11], pi / 2.0f);
    veltrane::fromPolarPairs (polar.data(), n, back.data());
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR (back[(size_t) k], hc[(size_t) k], 4e-6f * 3.0f) << k;
}

TEST (PolarConversion, ZeroOrNaNMagnitudeGivesZeroWhateverThePhase)
{
    const int n = 1024;
    std::vector<float> polar ((size_t) n + 2, 1.3f), hc ((size_t) n, 9.0f);
    polar[6] = 0.0f;                                    // bin 3
    polar[8] = std::numeric_limits<float>::quiet_NaN(); // bin 4
    veltrane::fromPolarPairs (polar.data(), n, hc.data());
    EXPECT_EQ (hc[3], 0.0f);
    EXPECT_EQ (hc[(size_t) (n - 3)], 0.0f);
    EXPECT_EQ (hc[4], 0.0f);
}

namespace
{
using veltrane_test::ulpDistance;

bool sameBits (float a, float b) { return std::memcmp (&a, &b, sizeof (float)) == 0; }

double ulpOf (float x)
{
    const float a = std::fabs (x);
    return (double) std::nextafter (a, std::numeric_limits<float>::infinity()) - (double) a;
}

/** m times the sine or cosine, the factor within vectorMathUlps of its correctly rounded
    value, then rounded: at most that many units of the factor, scaled by m, from the exact
    product, plus half a unit of the result. */
bool nearProduct (float actual, float m, double exactFactor)
{
    const double exact = (double) m * exactFactor;
    const double bound =
        std::fabs ((double) m) * ulpOf ((float) exactFactor) * veltrane::vectorMathUlps + 0.5 * ulpOf (actual);
    return std::fabs ((double) actual - exact) <= bound;
}

/** Spectra over many decades with exact and negative zeros, infinities and NaN. */
std::vector<float> awkwardSpectrum (int n, std::uint32_t seed)
{
    std::vector<float> s ((size_t) n);
    for (auto& x : s)
    {
        seed = seed * 1664525u + 1013904223u;
        const float u = (float) (seed >> 8) / 16777216.0f - 0.5f;
        switch (seed & 31u)
        {
            case 0:
                x = 0.0f;
                break;
            case 1:
                x = -0.0f;
                break;
            case 2:
                x = std::numeric_limits<float>::infinity();
                break;
            case 3:
                x = -std::numeric_limits<float>::infinity();
                break;
            case 4:
                x = std::numeric_limits<float>::quiet_NaN();
                break;
            default:
                x = u * std::pow (10.0f, (float) ((seed >> 5) % 40) - 25.0f);
        }
    }
    return s;
}
} // namespace

// The vectorised passes against the formulas written bin by bin, for both layouts: the
// magnitudes bit for bit, the phases and products within the vector maths' bound.
TEST (PolarConversion, BothLayoutsMatchTheFormulasWithinTheVectorMathBound)
{
    for (int n : { 16, 1024, 16384 })
    {
        const int half = n / 2;
        const auto in = awkwardSpectrum (n, 7u + (std::uint32_t) n);
        std::vector<float> pairs ((size_t) n + 2), mag ((size_t) half + 1), phase ((size_t) half + 1);
        veltrane::toPolarPairs (in.data(), n, pairs.data());
        veltrane::toPolarPlanes (in.data(), n, mag.data(), phase.data());
        for (int k = 0; k <= half; ++k)
        {
            const float re = in[(size_t) k], im = (k == 0 || k == half) ? 0.0f : in[(size_t) (n - k)];
            const float m = (float) std::hypot ((double) re, (double) im);
            const float ph = std::isnan (m) ? 0.0f : (float) -std::atan2 ((double) im, (double) re);
            ASSERT_TRUE (sameBits (pairs[(size_t) (2 * k)], m) && sameBits (mag[(size_t) k], m)) << n << " " << k;
            ASSERT_TRUE (sameBits (pairs[(size_t) (2 * k + 1)], phase[(size_t) k])) << n << " " << k;
            ASSERT_LE (ulpDistance (phase[(size_t) k], ph), veltrane::vectorMathUlps) << n << " " << k;
            ASSERT_EQ (std::signbit (phase[(size_t) k]), std::signbit (ph)) << n << " " << k;
        }

        // Back, with phases of every size, silent and NaN magnitudes.
        std::uint32_t seed = 99;
        for (int k = 0; k <= half; ++k)
        {
            seed = seed * 1664525u + 1013904223u;
            const float u = (float) (seed >> 8) / 16777216.0f - 0.5f;
            phase[(size_t) k] = u * ((seed & 7u) == 0 ? 2.0e6f : 7.0f);
            mag[(size_t) k] = (seed & 15u) == 1 ? 0.0f : ((seed & 15u) == 2 ? std::nanf ("") : std::fabs (u) * 3.0f);
            pairs[(size_t) (2 * k)] = mag[(size_t) k];
            pairs[(size_t) (2 * k + 1)] = phase[(size_t) k];
        }
        std::vector<float> fromPairs ((size_t) n), fromPlanes ((size_t) n);
        veltrane::fromPolarPairs (pairs.data(), n, fromPairs.data());
        veltrane::fromPolarPlanes (mag.data(), phase.data(), n, fromPlanes.data());
        for (int k = 0; k <= half; ++k)
        {
            const float m = mag[(size_t) k], ph = phase[(size_t) k];
            const bool silent = m == 0.0f || std::isnan (m);
            const float re = fromPlanes[(size_t) k];
            ASSERT_TRUE (sameBits (fromPairs[(size_t) k], re)) << n << " " << k;
            ASSERT_TRUE (silent ? sameBits (re, 0.0f) : nearProduct (re, m, std::cos ((double) ph))) << n << " " << k;
            if (k != 0 && k != half)
            {
                const float im = fromPlanes[(size_t) (n - k)];
                ASSERT_TRUE (sameBits (fromPairs[(size_t) (n - k)], im)) << n << " " << k;
                ASSERT_TRUE (silent ? sameBits (im, 0.0f) : nearProduct (-im, m, std::sin ((double) ph)))
                    << n << " " << k;
            }
        }
    }
}
