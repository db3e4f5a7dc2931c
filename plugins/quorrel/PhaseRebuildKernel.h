#pragma once

#include <cstdint>

namespace quorrel
{
/** The generator shared by the permutation and the phase noise: state = state * a + c. */
constexpr std::uint32_t randomMultiplier = 196314165u;
constexpr std::uint32_t randomIncrement = 907633515u;

/** The generator's state after the given number of steps from state (steps >= 0). */
std::uint32_t advanceRandom (std::uint32_t state, std::int64_t steps) noexcept;

/** What one frame's rebuild takes from the parameters. */
struct RebuildSettings
{
    float noise = 0.0f;  // "phasenoise", normalized: random advance up to that share of a turn
    float offset = 0.0f; // constant advance per frame, radians
    float keep = 1.0f;   // share of the measured advance kept (1 - "phasenull")
    float pi = 0.0f;     // the engine's single-precision pi
    float twoPi = 0.0f;  // the engine's single-precision 2 pi
};

/** Rebuilds the phases of bins 0..bins-1 of one channel from their measured advance. polar
    holds the frame's (magnitude, phase) pairs; measured and accumulated are the channel's
    phase memories (radians). Bin i goes to pair (i + rotation) mod bins of out, with its
    magnitude and its running phase. Draws one number per bin, in bin order, from
    randomState, which is left where the draws end. scratch holds 2 x bins floats. */
void rebuildPhases (const float* polar, float* out, float* measured, float* accumulated, int bins, int rotation,
                    std::uint32_t& randomState, const RebuildSettings& s, float* scratch) noexcept;
} // namespace quorrel
