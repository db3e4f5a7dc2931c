#include "RotatedFrames.h"

#include <gtest/gtest.h>

#include <vector>

// The split loops against the masked index written plainly, for every rotation of a small
// frame and a few of a large one.
TEST (RotatedFrames, WindowingAndOverlapAddMatchTheMaskedLoops)
{
    for (int n : { 16, 2048 })
        for (int rotation = 0; rotation < n; rotation += n == 16 ? 1 : 331)
            for (float gain : { 1.0f, 0.3f })
            {
                std::vector<float> frame ((size_t) n), window ((size_t) n), out ((size_t) n), acc ((size_t) n),
                    expectOut ((size_t) n), expectAcc ((size_t) n);
                for (int m = 0; m < n; ++m)
                {
                    frame[(size_t) m] = 0.25f + (float) m * 0.37f;
                    window[(size_t) m] = 1.0f / (float) (m + 3);
                    acc[(size_t) m] = expectAcc[(size_t) m] = (float) (m % 7);
                }
                veltrane::windowRotated (frame.data(), window.data(), gain, rotation, n, out.data());
                veltrane::overlapAddRotated (frame.data(), window.data(), gain, rotation, n, acc.data());
                for (int m = 0; m < n; ++m)
                {
                    expectOut[(size_t) ((rotation + m) & (n - 1))] = frame[(size_t) m] * window[(size_t) m] * gain;
                    expectAcc[(size_t) m] += frame[(size_t) ((rotation + m) & (n - 1))] * window[(size_t) m] * gain;
                }
                ASSERT_EQ (out, expectOut) << n << " " << rotation;
                ASSERT_EQ (acc, expectAcc) << n << " " << rotation;
            }
}

TEST (RotatedFrames, AdvanceByHopShiftsAndClears)
{
    std::vector<float> b { 1, 2, 3, 4, 5, 6, 7, 8 };
    veltrane::advanceByHop (b.data(), 8, 3);
    EXPECT_EQ (b, (std::vector<float> { 4, 5, 6, 7, 8, 0, 0, 0 }));
}
