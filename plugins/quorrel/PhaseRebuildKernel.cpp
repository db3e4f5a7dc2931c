// Built with -fno-trapping-math, -fno-math-errno and -ffp-contract=off: the passes vectorise,
// and every product is rounded as written.

#include "PhaseRebuildKernel.h"

#include "PhaseMath.h"
#include "VectorClones.h"

#include <cmath>

namespace quorrel
{
namespace
{
/** state -> state * multiply + add, an affine step of the generator modulo 2^32. */
struct Step
{
    std::uint32_t multiply = 1, add = 0;

    constexpr Step then (Step next) const noexcept
    {
        return { (std::uint32_t) (next.multiply * multiply), (std::uint32_t) (next.multiply * add + next.add) };
    }
};

constexpr Step oneStep { randomMultiplier, randomIncrement };

// The draws run in independent lanes, each a lane-width of steps ahead of the last.
constexpr int lanes = 16;

struct LaneSteps
{
    Step first[lanes]; // first[j]: j + 1 steps
};

constexpr LaneSteps makeLaneSteps() noexcept
{
    LaneSteps t {};
    Step s = oneStep;
    for (int j = 0; j < lanes; ++j)
    {
        t.first[j] = s;
        s = s.then (oneStep);
    }
    return t;
}

constexpr LaneSteps laneSteps = makeLaneSteps();

/** A draw as the noise takes it: -1..1. */
VELTRANE_INLINE_IN_CLONES float noiseOf (std::uint32_t state) noexcept
{
    return (float) ((double) (float) state * (1.0 / 2147483648.0) - 1.0);
}

VELTRANE_VECTOR_CLONES void drawNoise (std::uint32_t state, int count, float* r) noexcept
{
    std::uint32_t lane[lanes];
    for (int j = 0; j < lanes; ++j)
        lane[j] = laneSteps.first[j].multiply * state + laneSteps.first[j].add;
    const Step ahead = laneSteps.first[lanes - 1];
    int i = 0;
    for (; i + lanes <= count; i += lanes)
    {
        for (int j = 0; j < lanes; ++j)
            r[i + j] = noiseOf (lane[j]);
        for (int j = 0; j < lanes; ++j)
            lane[j] = lane[j] * ahead.multiply + ahead.add;
    }
    for (int j = 0; i + j < count; ++j)
        r[i + j] = noiseOf (lane[j]);
}

// The running phase is never wrapped in the rebuild itself; it is brought back by whole
// turns beyond this, so that float resolution does not erode it over hours of playing.
constexpr float runningLimit = 4096.0f;

/** One bin's new running phase from its advance, as the general formula takes it. */
float rebuiltPhase (float accumulated, float delta, float pi, float twoPi) noexcept
{
    float acc = accumulated + veltrane::wrapPhase (delta, pi, twoPi);
    if (std::fabs (acc) > runningLimit)
        acc = std::remainder (acc, twoPi);
    return acc;
}

/** The advances of every bin; returns non-zero when some bin needs the general formula
    (an advance beyond 6 pi or not finite, or a running phase beyond its limit). Such a bin
    is marked 1 in general (else 0), delta keeps its advance and accumulated its old phase.
    delta holds the draws. */
VELTRANE_VECTOR_CLONES int advance (const float* polar, float* measured, float* accumulated, float* delta,
                                    float* general, int bins, RebuildSettings s) noexcept
{
    const float pi = s.pi, twoPi = s.twoPi;
    const float sixPi = 6.0f * pi;
    int unusual = 0;
    for (int i = 0; i < bins; ++i)
    {
        const float phi = polar[2 * i + 1];
        const float d = phi - measured[i];
        measured[i] = phi;
        const float a = delta[i] * s.noise * twoPi + (s.offset + s.keep * d);
        const float before = accumulated[i];
        const float acc = before + veltrane::wrapPhaseThrice (a, pi, twoPi);
        const bool slow = ! (std::fabs (a) <= sixPi) || std::fabs (acc) > runningLimit;
        unusual |= (int) slow;
        delta[i] = a;
        general[i] = slow ? 1.0f : 0.0f;
        accumulated[i] = slow ? before : acc;
    }
    return unusual;
}

/** Pairs of bins first..first+count-1 to pairs at..at+count-1 of out. */
VELTRANE_VECTOR_CLONES void place (const float* polar, const float* accumulated, float* out, int first, int count,
                                   int at) noexcept
{
    for (int i = 0; i < count; ++i)
    {
        out[2 * (at + i)] = polar[2 * (first + i)];
        out[2 * (at + i) + 1] = accumulated[first + i];
    }
}
} // namespace

std::uint32_t advanceRandom (std::uint32_t state, std::int64_t steps) noexcept
{
    // Powers of the step by squaring.
    Step power = oneStep;
    for (; steps > 0; steps >>= 1)
    {
        if ((steps & 1) != 0)
            state = power.multiply * state + power.add;
        power = power.then (power);
    }
    return state;
}

void rebuildPhases (const float* polar, float* out, float* measured, float* accumulated, int bins, int rotation,
                    std::uint32_t& randomState, const RebuildSettings& s, float* scratch) noexcept
{
    if (bins <= 0)
        return;
    drawNoise (randomState, bins, scratch);
    randomState = advanceRandom (randomState, bins);

    float* general = scratch + bins;
    if (advance (polar, measured, accumulated, scratch, general, bins, s) != 0)
        for (int i = 0; i < bins; ++i)
            if (general[i] != 0.0f)
                accumulated[i] = rebuiltPhase (accumulated[i], scratch[i], s.pi, s.twoPi);

    const int at = rotation;
    place (polar, accumulated, out, 0, bins - at, at);
    place (polar, accumulated, out, bins - at, at, 0);
}
} // namespace quorrel
