#pragma once

#include <cstddef>

namespace veltrane
{
/** Real FFT in the suite's fixed packing and scaling.

    forward(): N real samples in, N floats out in the halfcomplex layout
      (element k = R[k] for 0 <= k <= N/2, element N - k = I[k] for 0 < k < N/2)
      with R[k] = 2 sum x[n] cos(2 pi k n / N) and I[k] = -2 sum x[n] sin(2 pi k n / N).
    inverse(): halfcomplex in, y[n] = R[0] + R[N/2] (-1)^n + 2 sum (R cos - I sin), no 1/N,
      so inverse(forward(x)) = 2 N x.

    Plans are made once per binary for every size 16..16384 and shared by all instances;
    each instance owns its aligned work area, so transforms never allocate. */
class RealFft
{
public:
    static constexpr int minLog2Size = 4;
    static constexpr int maxLog2Size = 14;
    static constexpr int maxSize = 1 << maxLog2Size;

    RealFft();
    ~RealFft();
    RealFft (const RealFft&) = delete;
    RealFft& operator= (const RealFft&) = delete;

    /** input must be a buffer from allocateAligned(); output any N floats. */
    void forward (const float* input, float* halfcomplex, int log2Size) noexcept;
    /** output must be a buffer from allocateAligned(); halfcomplex any N floats. */
    void inverse (const float* halfcomplex, float* output, int log2Size) noexcept;

    /** Buffers with the alignment the shared plans were made for. */
    static float* allocateAligned (std::size_t count);
    static void freeAligned (float* p) noexcept;

private:
    float* complexWork; // (N/2 + 1) interleaved complex values, aligned
};
} // namespace veltrane
