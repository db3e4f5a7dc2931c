#pragma once

#include "KernelSettings.h"
#include "SineOscillators.h"

#include <cstddef>
#include <memory>

namespace tonalith
{
/** Resynthesis by a bank of table-lookup sine oscillators, one per analysis bin: each
    oscillator glides linearly, over one hop, from last frame's amplitude and increment to
    this frame's, and adds its samples to the output (the engine's sine oscillators, whose
    vector paths evaluate the table's sines within one unit in the last place). Magnitudes under the gate threshold are
    squared (a soft expander) and anything under 0.00001 is silenced.

    Per channel the bank keeps each oscillator's (amplitude, increment) pair and its table
    position; they persist across frames and output modes. Increments are in table entries
    per sample (cycles per sample x 16384). */
class SineBank
{
public:
    static constexpr int tableLength = veltrane::sineTableLength;
    static constexpr int tableMask = tableLength - 1;
    static constexpr int maxOscillators = 32769; // bins 0..N/2 of the largest transform
    static constexpr int maxHop = 2048;

    /** twoPi is the engine's single-precision 2 pi used to build the table. */
    explicit SineBank (float twoPi);
    ~SineBank();
    SineBank (const SineBank&) = delete;
    SineBank& operator= (const SineBank&) = delete;

    /** One frame for one channel: output holds hop samples to add to; polar the
        (magnitude, phase) pairs of bins 0..N/2 (magnitudes may be rewritten, phase slots
        receive target increments); lastPhase the previous analysis phases (radians). */
    void render (float* output, float* polar, float* oscState, float* lastPhase, float* oscPhase,
                 const KernelSettings& s) noexcept;

    /** Zeroes the oscillators of both channels. */
    void reset() noexcept;

    float sineTable[tableLength]; // sin(k 2 pi / 16384)
    const float tableLengthFloat = 16384.0f;
    const float tableStep; // radians per table entry

    // Per channel: (amplitude, increment) pairs and positions in [0, 16384).
    float* oscState[2] {};
    float* oscPhase[2] {};

private:
    // Oscillators that sound in this frame, gathered so that the engine runs them a vector at a
    // time; padded with silent ones to whole groups.
    int* activeIndex = nullptr;
    float* activePos = nullptr;
    float* activeInc = nullptr;
    float* activeIncStep = nullptr;
    float* activeAmp = nullptr;
    float* activeAmpStep = nullptr;
    float* scratch = nullptr; // the engine's partial sums
};
} // namespace tonalith
