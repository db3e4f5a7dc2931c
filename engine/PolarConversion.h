#pragma once

namespace veltrane
{
/** Conversions between the engine's halfcomplex spectra (N floats: real parts of bins 0..N/2
    at 0..N/2, imaginary part of bin k at N - k) and polar form, magnitude and phase of bins
    0..N/2 with phase = -atan2(imaginary, real).

    Magnitudes are hypot rounded once to float; phases are atan2 and cartesian values
    m cos(phase) and -(m sin(phase)), the arc tangent, sine and cosine taken from VectorMath.h
    (within veltrane::vectorMathUlps of the correctly rounded values). The bins go through
    the vector maths in blocks; only a spectrum with a NaN takes a second pass.

    Pairs: (magnitude, phase) interleaved, N + 2 floats. Planes: magnitudes and phases in two
    arrays of N/2 + 1 floats. */

/** Polar pairs of a spectrum. A magnitude that is not a number gets phase 0; infinities
    take atan2's values. */
void toPolarPairs (const float* halfcomplex, int n, float* pairs) noexcept;
/** The same into two planes. */
void toPolarPlanes (const float* halfcomplex, int n, float* magnitude, float* phase) noexcept;

/** Halfcomplex spectrum of polar pairs; a magnitude of 0 or NaN gives zeros. */
void fromPolarPairs (const float* pairs, int n, float* halfcomplex) noexcept;
/** The same from two planes. */
void fromPolarPlanes (const float* magnitude, const float* phase, int n, float* halfcomplex) noexcept;
} // namespace veltrane
