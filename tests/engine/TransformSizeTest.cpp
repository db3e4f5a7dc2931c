#include "TransformSize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST (TransformSize, BandsGiveTwiceThePowerOfTwoKeptInRange)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        float bands, forNaN;
        int n;
    };
    const Case cases[] = {
        { 0.0f, 0.0f, 16 },    { 0.5f, 0.0f, 512 },   { 0.55f, 0.0f, 512 },  { 0.6f, 0.0f, 1024 }, { 0.7f, 0.0f, 2048 },
        { 0.75f, 0.0f, 2048 }, { 1.0f, 0.0f, 16384 }, { 1.5f, 0.0f, 16384 }, { -3.0f, 0.0f, 16 },  { inf, 0.0f, 16384 },
        { -inf, 0.0f, 16 },    { nan, 0.0f, 16 },     { nan, 0.5f, 512 },
    };
    for (const auto& c : cases)
        EXPECT_EQ (veltrane::transformSizeForBands (c.bands, c.forNaN), c.n) << c.bands;
}
