#include "Spect.h"
#include "WindowShapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST (Windows, KaiserOfSixteenPeaksInTheMiddleAndIsSymmetric)
{
    std::vector<float> w (16);
    const float twoPi = 8.0f * std::atan (1.0f);
    veltrane::fillWindow (veltrane::kaiserWindow, w.data(), 16, twoPi);
    EXPECT_EQ (w[0], 0.0f);
    EXPECT_EQ (w[15], 0.0f);
    EXPECT_EQ (w[8], 1.0f);
    for (int j = 1; j <= 6; ++j)
        EXPECT_EQ (w[(size_t) (8 - j)], w[(size_t) (8 + j)]) << j;
    // Index 1 mirrors index 15 before the end samples are cleared, so it keeps its value.
    EXPECT_GT (w[1], 0.0f);
    EXPECT_LT (w[1], w[4]);
}

TEST (Windows, BesselSeriesMatchesTheFunction)
{
    // I0(6.8) = 138.96... ; the series stops at relative term size 1e-8.
    EXPECT_NEAR (veltrane::besselI0 (3.4f), std::cyl_bessel_i (0.0, 6.8), 1e-3);
    EXPECT_EQ (veltrane::besselI0 (0.0f), 1.0f);
}

TEST (Windows, ShapeEndValues)
{
    const float twoPi = 8.0f * std::atan (1.0f);
    struct Case
    {
        int kind;
        float end, middleApprox;
    };
    for (auto c : { Case { veltrane::hammingWindow, 0.08f, 1.0f }, Case { veltrane::raisedCosineWindow, 0.1f, 0.9f },
                    Case { veltrane::blackmanWindow, 0.0f, 1.0f } })
    {
        std::vector<float> w (1025);
        veltrane::fillWindow (c.kind, w.data(), 1025, twoPi);
        EXPECT_NEAR (w[0], c.end, 1e-6f) << c.kind;
        EXPECT_NEAR (w[1024], c.end, 1e-5f) << c.kind;
        EXPECT_NEAR (w[512], c.middleApprox, 1e-5f) << c.kind;
    }
}

namespace
{
struct Engine : spect
{
    Engine()
        : spect (2, false)
    {
    }
};

double synthesisQ (const spect& e)
{
    // Q recomputed from the normalised analysis window (the synthesis window before its
    // last scaling equals it).
    double q = 0;
    for (int j = 0; j * e.hop < e.fftSize; ++j)
        q += (double) e.analysisWindow[j * e.hop] * e.analysisWindow[j * e.hop];
    return q;
}
} // namespace

TEST (Windows, ConstructionNormalisesHammingToSumTwo)
{
    Engine e;
    EXPECT_EQ (e.fftSize, 1024);
    EXPECT_EQ (e.hop, 256);
    EXPECT_EQ (e.windowKind, veltrane::hammingWindow);
    double sum = 0;
    for (int k = 0; k < 1024; ++k)
        sum += e.analysisWindow[k];
    EXPECT_NEAR (sum, 2.0, 1e-5);
    const double q = synthesisQ (e);
    for (int k : { 0, 100, 511, 512, 1023 })
        EXPECT_NEAR (e.synthesisWindow[k], e.analysisWindow[k] * 0.5 / (1024.0 * q), 1e-6 * e.synthesisWindow[k]) << k;
}

TEST (Windows, OverlapEightUsesEightSamplesForQ)
{
    Engine e;
    e.overlapShift = 3;
    e.setFFTSize (1024);
    EXPECT_EQ (e.hop, 128);
    const double q = synthesisQ (e);
    EXPECT_NEAR (e.synthesisWindow[300], e.analysisWindow[300] * 0.5 / (1024.0 * q), 1e-6 * e.synthesisWindow[300]);
}

TEST (Windows, SetFFTSizeRoundsDownAndKeepsTheShape)
{
    Engine e;
    e.overlapShift = 3;
    e.windowKind = veltrane::raisedCosineWindow;
    e.setFFTSize (1000);
    EXPECT_EQ (e.fftSize, 512);
    EXPECT_EQ (e.halfSize, 256);
    EXPECT_EQ (e.log2Size, 9);
    EXPECT_EQ (e.hop, 64);
    EXPECT_FLOAT_EQ (e.inverseHop, 1.0f / 64.0f);
    // Raised cosine ends at 0.1 before scaling: the ratio end/middle survives normalisation.
    EXPECT_NEAR (e.analysisWindow[0] / e.analysisWindow[255], 0.1f / 0.9f, 1e-3f);
}
