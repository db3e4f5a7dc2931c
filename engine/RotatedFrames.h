#pragma once

namespace veltrane
{
/** The frame plumbing of every short-time transform in the suite. Frames are rotated to
    absolute time by a running offset, so a sinusoid centred on a bin keeps its phase from
    hop to hop. All buffers hold at least n floats; n is a power of two and 0 <= rotation < n. */

/** Windowed, rotated transform input: out[(rotation + m) mod n] = frame[m] x window[m] x gain. */
void windowRotated (const float* frame, const float* window, float gain, int rotation, int n, float* out) noexcept;

/** Overlap-add of a rotated transform output: accumulator[m] += time[(rotation + m) mod n]
    x window[m] x gain. */
void overlapAddRotated (const float* time, const float* window, float gain, int rotation, int n,
                        float* accumulator) noexcept;

/** Moves buffer[hop..n-1] to the front and clears the last hop samples: an accumulator
    after its first hop has been taken. */
void advanceByHop (float* buffer, int n, int hop) noexcept;
} // namespace veltrane
