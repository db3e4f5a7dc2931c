#pragma once

/** Hann envelopes of a set of grains: envelope[i] = 0.5 - 0.5 cos(phase[i]) in single
    precision, the cosine from the engine's vector maths (within veltrane::vectorMathUlps of
    the correctly rounded value, for phases of any size).

    phase: count angles in radians; envelope: count values in 0..1, written. */
namespace durafold
{
void grainEnvelopes (const float* phase, float* envelope, int count) noexcept;
} // namespace durafold
