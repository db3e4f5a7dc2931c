#pragma once

#include "KernelSettings.h"

#include <cstddef>
#include <memory>

namespace tonalith
{
/** Resynthesis by a bank of table-lookup sine oscillators, one per analysis bin: each
    oscillator glides linearly, over one hop, from last frame's amplitude and increment to
    this frame's, and adds its samples to the output. Magnitudes under the gate threshold are
    squared (a soft expander) and anything under 0.00001 is silenced.

    Per channel the bank keeps each oscillator's (amplitude, increment) pair and its table
    position; they persist across frames and output modes. Increments are in table entries
    per sample (cycles per sample x 16384). */
class SineBank
{
public:
    static constexpr int tableLength = 16384;
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

    // Per channel: (amplitude, increment) pairs and positions in [0, 16384).
    float* oscState[2] {};
    float* oscPhase[2] {};

private:
    /** Runs the active oscillators over one hop into output: four lanes of SSE2 on x86,
        the same sums lane by lane elsewhere. */
    void runActive (float* output, int count, int hop, float scale) noexcept;

    // Oscillators that sound in this frame, gathered into arrays so four at a time share
    // one instruction. Padded to a multiple of eight with silent entries.
    int* activeIndex = nullptr;
    float* activePos = nullptr;
    float* activeInc = nullptr;
    float* activeIncStep = nullptr;
    float* activeAmp = nullptr;
    float* activeAmpStep = nullptr;
    float* lanes = nullptr; // per sample, four partial sums (4 x maxHop)
};
} // namespace tonalith
