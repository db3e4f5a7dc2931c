#pragma once

namespace veltrane
{
/** Conversions between the engine's halfcomplex spectra (N floats: real parts of bins 0..N/2
    at 0..N/2, imaginary part of bin k at N - k) and polar form, magnitude and phase of bins
    0..N/2 with phase = -atan2(imaginary, real).

    Magnitudes are hypot rounded once to float and phases the correctly rounded atan2;
    cartesian values are m cos(phase) and -(m sin(phase)) with the sine and cosine rounded
    once. The passes have no branches or library calls, so they vectorise; a fix-up pass runs
    only for the rare operands the fast path cannot take (infinite or NaN input, phases
    beyond veltrane::sinCosRoundedLimit).

    Pairs: (magnitude, phase) interleaved, N + 2 floats. Planes: magnitudes and phases in two
    arrays of N/2 + 1 floats. */

/** Polar pairs of a spectrum. A magnitude that is not a number gets phase 0; infinities
    take the library's atan2. */
void toPolarPairs (const float* halfcomplex, int n, float* pairs) noexcept;
/** The same into two planes. */
void toPolarPlanes (const float* halfcomplex, int n, float* magnitude, float* phase) noexcept;

/** Halfcomplex spectrum of polar pairs; a magnitude of 0 or NaN gives zeros. */
void fromPolarPairs (const float* pairs, int n, float* halfcomplex) noexcept;
/** The same from two planes. */
void fromPolarPlanes (const float* magnitude, const float* phase, int n, float* halfcomplex) noexcept;
} // namespace veltrane
