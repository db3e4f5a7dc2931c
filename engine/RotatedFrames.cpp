#include "RotatedFrames.h"

#include <cstring>

namespace veltrane
{
void windowRotated (const float* frame, const float* window, float gain, int rotation, int n, float* out) noexcept
{
    // Two straight runs instead of masking every index. With a gain of 1 the products are
    // those of frame x window alone.
    const int firstRun = n - rotation;
    for (int m = 0; m < firstRun; ++m)
        out[rotation + m] = frame[m] * window[m] * gain;
    for (int m = firstRun; m < n; ++m)
        out[m - firstRun] = frame[m] * window[m] * gain;
}

void overlapAddRotated (const float* time, const float* window, float gain, int rotation, int n,
                        float* accumulator) noexcept
{
    const int firstRun = n - rotation;
    for (int m = 0; m < firstRun; ++m)
        accumulator[m] += time[rotation + m] * window[m] * gain;
    for (int m = firstRun; m < n; ++m)
        accumulator[m] += time[m - firstRun] * window[m] * gain;
}

void advanceByHop (float* buffer, int n, int hop) noexcept
{
    std::memmove (buffer, buffer + hop, sizeof (float) * (size_t) (n - hop));
    std::memset (buffer + n - hop, 0, sizeof (float) * (size_t) hop);
}
} // namespace veltrane
