#pragma once

namespace veltrane
{
/** Elementwise maths over arrays of floats for the per-bin loops, in single precision and
    vectorised for the machine's widest vectors (chosen at load time). Every result lies
    within vectorMathUlps units in the last place of the correctly rounded value, for every
    finite operand; sanitizer builds and other architectures evaluate in double and round
    once, so there they are exact. */
constexpr int vectorMathUlps = 1;

/** out[i] = atan2(y[i], x[i]) for i < count, with atan2's signs of zero and its values for
    infinite operands; NaN where an operand is NaN. out may alias neither input. */
void atan2Span (const float* y, const float* x, float* out, int count) noexcept;

/** sinOut[i] = sin(angle[i]) and cosOut[i] = cos(angle[i]) for i < count (radians, any
    finite angle); NaN for angles that are not finite. */
void sinCosSpan (const float* angle, float* sinOut, float* cosOut, int count) noexcept;

/** Whether this build on this machine runs the maths at a vector width: 16, 8 or 4 lanes,
    or 1 (the double-evaluated path, which every build has). */
bool vectorMathRuns (int lanes) noexcept;

/** atan2Span and sinCosSpan at a given width, so that every width can be checked on one
    machine; false, with nothing written, for a width that vectorMathRuns refuses. */
bool atan2SpanAt (int lanes, const float* y, const float* x, float* out, int count) noexcept;
bool sinCosSpanAt (int lanes, const float* angle, float* sinOut, float* cosOut, int count) noexcept;
} // namespace veltrane
