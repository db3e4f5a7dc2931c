#include "RealFft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using veltrane::RealFft;

namespace
{
// Reference transform in double precision with the suite's packing and factor 2.
std::vector<double> directForward (const std::vector<float>& x)
{
    const int n = (int) x.size();
    std::vector<double> hc ((size_t) n, 0.0);
    for (int k = 0; k <= n / 2; ++k)
    {
        double re = 0, im = 0;
        for (int t = 0; t < n; ++t)
        {
            const double a = 2.0 * M_PI * (double) k * t / n;
            re += 2.0 * x[(size_t) t] * std::cos (a);
            im -= 2.0 * x[(size_t) t] * std::sin (a);
        }
        hc[(size_t) k] = re;
        if (k > 0 && k < n / 2)
            hc[(size_t) (n - k)] = im;
    }
    return hc;
}

struct AlignedBuffer
{
    explicit AlignedBuffer (size_t n)
        : p (RealFft::allocateAligned (n)),
          size (n)
    {
    }
    ~AlignedBuffer() { RealFft::freeAligned (p); }
    float* p;
    size_t size;
};
} // namespace

class RealFftSizes : public ::testing::TestWithParam<int>
{
};

TEST_P (RealFftSizes, ForwardMatchesDirectDftWithPackingAndFactorTwo)
{
    const int log2n = GetParam();
    const int n = 1 << log2n;
    std::mt19937 rng (42);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    std::vector<float> x ((size_t) n);
    for (auto& v : x)
        v = dist (rng);

    RealFft fft;
    AlignedBuffer in ((size_t) n);
    std::copy (x.begin(), x.end(), in.p);
    std::vector<float> hc ((size_t) n);
    fft.forward (in.p, hc.data(), log2n);

    const auto ref = directForward (x);
    // Float rounding grows like sqrt(n) * log n for random data of unit size.
    const double tol = 1e-5 * std::sqrt ((double) n) * log2n * 2.0;
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR (hc[(size_t) k], ref[(size_t) k], tol) << "element " << k;
}

TEST_P (RealFftSizes, InverseOfForwardIsTwoNTimesInput)
{
    const int log2n = GetParam();
    const int n = 1 << log2n;
    std::mt19937 rng (7);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    RealFft fft;
    AlignedBuffer in ((size_t) n), out ((size_t) n);
    for (int i = 0; i < n; ++i)
        in.p[i] = dist (rng);
    std::vector<float> hc ((size_t) n);
    fft.forward (in.p, hc.data(), log2n);
    fft.inverse (hc.data(), out.p, log2n);
    for (int i = 0; i < n; ++i)
        EXPECT_NEAR (out.p[i], 2.0f * (float) n * in.p[i], 2e-5f * (float) n * log2n) << i;
}

INSTANTIATE_TEST_SUITE_P (AllSizes, RealFftSizes, ::testing::Range (4, 15));

TEST (RealFft, InverseFollowsTheStatedSynthesisFormula)
{
    // y[n] = R0 + R_{N/2}(-1)^n + 2 sum (R cos - I sin) for a sparse spectrum.
    const int log2n = 5, n = 32;
    RealFft fft;
    std::vector<float> hc ((size_t) n, 0.0f);
    hc[0] = 0.5f;      // DC
    hc[16] = 0.25f;    // Nyquist
    hc[3] = 1.0f;      // R[3]
    hc[n - 3] = -2.0f; // I[3]
    AlignedBuffer out ((size_t) n);
    fft.inverse (hc.data(), out.p, log2n);
    for (int t = 0; t < n; ++t)
    {
        const double a = 2.0 * M_PI * 3.0 * t / n;
        const double y = 0.5 + 0.25 * ((t & 1) ? -1.0 : 1.0) + 2.0 * (1.0 * std::cos (a) - (-2.0) * std::sin (a));
        EXPECT_NEAR (out.p[t], y, 1e-5) << t;
    }
}
