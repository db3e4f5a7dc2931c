#pragma once

namespace veltrane
{
/** Window shapes of the engine, written for indexes 0..n-1 in single precision. */
enum WindowKind
{
    hammingWindow = 0,      // 0.54 - 0.46 cos
    raisedCosineWindow = 1, // 0.5 - 0.4 cos (end values 0.1)
    blackmanWindow = 2,     // 0.42 - 0.5 cos + 0.08 cos
    kaiserWindow = 3        // beta 6.8, peak at n/2, both ends 0
};

/** Fills w[0..n-1] with the shape of kind; twoPi is the engine's single-precision 2 pi. */
void fillWindow (int kind, float* w, int n, float twoPi) noexcept;

/** Modified Bessel function I0 by its power series in single precision, x/2 given. */
float besselI0 (float halfX) noexcept;
} // namespace veltrane
