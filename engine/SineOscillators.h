#pragma once

namespace veltrane
{
/** Length of the sine table the oscillators read: entry k holds sin(float(k) x step) rounded
    to float, step being the single-precision 2 pi divided by this length. */
constexpr int sineTableLength = 16384;

/** A bank of sine oscillators, each gliding linearly over one hop: per sample, oscillator i
    adds amplitude[i] x sin(entry of floor(position[i]) mod 16384) to the sum, then advances
    position by increment and increment and amplitude by their steps. Positions and
    increments are in table entries (per sample); amplitudes linear.

    Vectorised for the machine's widest vectors (chosen at load time): with 8 or 16 lanes the
    sine is evaluated instead of read from the table, within sineOscillatorUlps of the table's
    entry (it is checked at every entry); with 4 lanes and on the plain path (sanitizer builds,
    other architectures) it is the table's entry. The order in which oscillators are summed
    depends on the width, so sums agree across widths within rounding. */
constexpr int sineOscillatorUlps = 1;

struct SineOscillatorSpans
{
    // Each at the hop's start, and advanced over the hop on return (positions not wrapped).
    float* position;            // table entries
    float* increment;           // table entries per sample
    float* amplitude;           // linear
    const float* incrementStep; // change of increment per sample
    const float* amplitudeStep; // change of amplitude per sample
};

/** Oscillators come in groups of this many; callers pad with silent ones (all zero). */
constexpr int sineOscillatorGroup = 16;

/** Scratch that runSineOscillators needs, in floats (16 partial sums per sample of a block). */
constexpr int sineOscillatorScratch = 16 * 256;

/** Adds scale x (the sum of count oscillators) to output[0..hop). count is a multiple of
    sineOscillatorGroup; table holds sineTableLength entries built with tableStep (radians
    per entry); scratch holds sineOscillatorScratch floats. A position that is not a number,
    or beyond the range of int, reads entry 0. */
void runSineOscillators (const SineOscillatorSpans& spans, int count, const float* table, float tableStep,
                         float* scratch, float* output, int hop, float scale) noexcept;

/** runSineOscillators at a given width (16, 8 or 4 lanes, or 1 for the plain path), so that
    every width can be checked on one machine; false, with nothing written, for a width this
    build does not run here. */
bool runSineOscillatorsAt (int lanes, const SineOscillatorSpans& spans, int count, const float* table, float tableStep,
                           float* scratch, float* output, int hop, float scale) noexcept;
} // namespace veltrane
