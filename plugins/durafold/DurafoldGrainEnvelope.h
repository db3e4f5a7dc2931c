#pragma once

/** Hann envelopes of a set of grains: envelope[i] = 0.5 - 0.5 cos(phase[i]) in single
    precision, the cosine correctly rounded. Runs without library calls or branches, so the
    compiler vectorises it, except for a fix-up pass over phases beyond the range of the fast
    cosine (grains left sounding far past their end).

    phase: count angles in radians; envelope: count values in 0..1, written. */
namespace durafold
{
void grainEnvelopes (const float* phase, float* envelope, int count) noexcept;
} // namespace durafold
