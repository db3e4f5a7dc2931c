#pragma once

/** The per-bin work of one phase-vocoder hop for one channel: the packed spectrum to
    magnitudes and phases, each bin's phase advance rescaled by `ratio`, and back to packed form (both conversions the
   engine's). Bins whose magnitude is below 1e-5 restart their phase memory.

    The propagation runs as one pass without library calls or branches, so the compiler
    vectorises it; a fix-up pass runs only when some bin needs more than one 2 pi wrap. The
    results are those of the plain per-bin loops: the wraps by repeated subtraction of 2 pi
    in single precision.

    n: transform size (16..16384); packed, result: n floats in the engine's packing;
    magnitude, phase: n/2 + 1 floats each, the bins' magnitudes and their phases after the
    hop (radians), written; lastPhase, runningPhase: n/2 + 1 floats of radians, read and
    updated; ratio: synthesis hop / analysis hop; pi, twoPi: the engine's single-precision
    constants. */
namespace durafold
{
void propagateBins (const float* packed, int n, float ratio, float pi, float twoPi, float* magnitude, float* phase,
                    float* lastPhase, float* runningPhase, float* result) noexcept;
} // namespace durafold
