#include "BandTransfer.h"

#include "PhaseMath.h"
#include "VectorClones.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace veltrane
{
namespace
{
std::uint32_t bitsOf (float x) noexcept
{
    std::uint32_t u;
    std::memcpy (&u, &x, sizeof u);
    return u;
}

float floatOf (std::uint32_t u) noexcept
{
    float x;
    std::memcpy (&x, &u, sizeof x);
    return x;
}

const std::uint32_t oneKey = bitsOf (1.0f) >> 16;
const std::uint32_t lowestKey = bitsOf (BandTransfer::lowestFloor) >> 16;

/** One turn each way: for |x| <= 2.5 pi the same value as wrapPhase, without branches. */
VELTRANE_INLINE_IN_CLONES float wrapOnce (float x, float pi, float twoPi) noexcept
{
    x = x > pi ? x - twoPi : x;
    return x < -pi ? x + twoPi : x;
}

template <int S>
VELTRANE_VECTOR_CLONES void assign (const float* frequency, int count, int n, float hopTwoPi, bool toBinZero,
                                    int* target, float* step) noexcept
{
    const int half = n / 2;
    const float fn = (float) n;
    const float invN = 1.0f / fn;
    for (int i = 0; i < count; ++i)
    {
        const float f = frequency[i * S];
        const float x = fn * f;
        // Comparisons fail for NaN. Truncation toward zero rounds the values in range; what
        // lies below bin 0 and is kept goes to bin 0.
        const bool kept = toBinZero ? x < fn : (x > -1.0f && x < fn);
        const float xs = kept && x > 0.0f ? x : 0.0f;
        const int truncated = (int) xs;
        const int t = truncated + (xs - (float) truncated > 0.5f ? 1 : 0);
        target[i] = kept && t < half ? t : -1;
        step[i] = ((float) t * invN - f) * hopTwoPi;
    }
}

/** Band of each source (bandCount for sources without a target), as bandOf gives it. A pass
    of its own, vectorised: the lookups are independent, and per source they are most of the
    transfer's instructions. */
template <int S>
VELTRANE_VECTOR_CLONES void bands (const float* __restrict magnitude, const int* __restrict target, int count,
                                   const std::uint32_t* __restrict table, std::uint32_t keyBase,
                                   const float* __restrict edges, int numBands, std::uint8_t* __restrict band) noexcept
{
    const float lowest = edges[numBands];
    const bool anyBand = numBands > 0; // without bands the table is not set up for this floor
    for (int i = 0; i < count; ++i)
    {
        const float x = magnitude[i * S];
        const float m = x < 1.0f ? x : 1.0f;
        const bool banded = (x > lowest) & (x <= std::numeric_limits<float>::max()) & (target[i] >= 0) & anyBand;
        // A signed index: vector gathers take those.
        const int key = banded ? (int) ((bitsOf (m) >> 16) - keyBase) : 0;
        const int b = (int) table[key];
        const int settled = b - (m > edges[b] ? 1 : 0);
        band[i] = (std::uint8_t) (banded ? settled : numBands);
    }
}

/** Each target's phase: its winner's step added to its running phase, one turn of wrap each;
    the running phase of a reached target follows. Non-zero when a step lies beyond 2.5 pi,
    where one turn is not enough (those targets are left to the general wrap). */
VELTRANE_VECTOR_CLONES int targetPhases (const float* __restrict winner, const float* __restrict outMagnitude,
                                         float* __restrict outPhase, float* __restrict runningPhase, int half, float pi,
                                         float twoPi) noexcept
{
    int wide = 0;
    for (int t = 0; t < half; ++t)
    {
        const float s = winner[t];
        const float phi = wrapOnce (wrapOnce (s, pi, twoPi) + runningPhase[t], pi, twoPi);
        const bool reached = outMagnitude[t] != 0.0f;
        const bool near = std::fabs (s) <= 2.5f * pi;
        wide |= (int) ! near;
        outPhase[t] = phi;
        runningPhase[t] = reached && near ? phi : runningPhase[t];
    }
    return wide;
}
} // namespace

BandTransfer::BandTransfer()
    : table (new std::uint32_t[oneKey - lowestKey + 1] {}),
      target (new int[maxBins] {}),
      step (new float[maxBins] {}),
      band (new unsigned char[maxBins] {}),
      order (new int[maxBins] {}),
      winner (new float[maxBins + 2] {})
{
    setFloor (0.00001f);
}

BandTransfer::~BandTransfer()
{
    delete[] table;
    delete[] target;
    delete[] step;
    delete[] band;
    delete[] order;
    delete[] winner;
}

void BandTransfer::setFloor (float floorIn) noexcept
{
    const float floor = std::isnan (floorIn) ? lowestFloor : std::max (floorIn, lowestFloor);
    if (floor == currentFloor)
        return;
    currentFloor = floor;

    numBands = 0;
    float upper = 1.0f;
    edges[0] = upper;
    while (upper > floor && numBands < maxBands)
    {
        const float lower = std::max (upper * bandFactor, floor);
        edges[++numBands] = lower;
        upper = lower;
    }
    if (numBands == 0)
        return;

    // Runs of floats ascending from just above the floor to 1.0: the band only falls.
    const float lowest = std::nextafter (edges[numBands], 2.0f);
    const std::uint32_t lowBits = bitsOf (lowest);
    keyBase = lowBits >> 16;
    int b = numBands - 1;
    for (std::uint32_t key = keyBase; key <= oneKey; ++key)
    {
        const float m = floatOf (std::max (key << 16, lowBits));
        while (b > 0 && m > edges[b])
            --b;
        table[key - keyBase] = (std::uint32_t) b;
    }
}

int BandTransfer::bandOf (float magnitude) const noexcept
{
    // Without branches: magnitudes are noise-like, so a branch would often be mispredicted.
    const bool banded =
        (magnitude > edges[numBands]) & (magnitude <= std::numeric_limits<float>::max()) & (numBands > 0);
    const std::uint32_t inside = 0u - (std::uint32_t) banded; // all ones inside the bands
    const float m = std::min (magnitude, 1.0f);
    const int b = (int) table[((bitsOf (m) >> 16) - keyBase) & inside];
    const int settled = b - (int) (m > edges[b]);
    return (int) (((std::uint32_t) settled & inside) | ((std::uint32_t) numBands & ~inside));
}

void BandTransfer::assignTargets (const float* frequency, int stride, int count, int n, float hopTwoPi,
                                  BelowBinZero rule) noexcept
{
    const bool toBinZero = rule == BelowBinZero::landsInBinZero;
    if (stride == 2)
        assign<2> (frequency, count, n, hopTwoPi, toBinZero, target, step);
    else
        assign<1> (frequency, count, n, hopTwoPi, toBinZero, target, step);
}

void BandTransfer::transfer (const float* magnitude, int stride, int count, int half, float* outMagnitude,
                             float* outPhase, float* runningPhase, float pi, float twoPi) noexcept
{
    std::fill (outMagnitude, outMagnitude + half + 1, 0.0f);
    std::fill (winner, winner + half + 1, 0.0f);

    // Sources sorted by band (loudest first), bin order kept within a band: the same order
    // as scanning all sources once per band. Sources without a target take no part. The
    // bands first, in a pass of their own; then a counting sort over four quarters of the
    // sources in turn, each with its own tallies and cursors, so that neighbouring sources
    // of one band do not wait on each other's increment.
    if (stride == 2)
        bands<2> (magnitude, target, count, table, keyBase, edges, numBands, band);
    else
        bands<1> (magnitude, target, count, table, keyBase, edges, numBands, band);
    const int quarter = (count + 3) / 4;
    int cursor[4][maxBands + 1] {};
    for (int j = 0; j < quarter; ++j)
        for (int q = 0, i = j; q < 4 && i < count; ++q, i += quarter)
            ++cursor[q][band[i]];
    int sum = 0;
    for (int b = 0; b <= numBands; ++b)
        for (int q = 0; q < 4; ++q)
        {
            const int tally = cursor[q][b];
            cursor[q][b] = sum;
            sum += tally;
        }
    const int active = cursor[0][numBands];
    for (int j = 0; j < quarter; ++j)
        for (int q = 0, i = j; q < 4 && i < count; ++q, i += quarter)
            order[cursor[q][band[i]]++] = i;

    // Magnitudes add up in that order; the first source to reach a target (its magnitude
    // still exactly 0) is the one whose phase the target takes. Only this is serial. Later
    // sources write their step to a spare slot instead of branching around the store.
    const int spare = maxBins + 1;
    for (int q = 0; q < active; ++q)
    {
        const int i = order[q];
        const int t = target[i];
        const float before = outMagnitude[t];
        outMagnitude[t] = before + magnitude[i * stride]; // 0 + m is m
        // Masks rather than a conditional, which the compiler would turn back into a branch.
        const int freeMask = -(int) (before == 0.0f);
        winner[spare + ((t - spare) & freeMask)] = step[i];
    }

    // Each target's phase: the winner's step added to its running phase, each wrapped. A step
    // lies within pi/8 of zero unless the source came from below bin 0, so one turn of wrap
    // usually suffices; the rest take the general wrap.
    const int wide = targetPhases (winner, outMagnitude, outPhase, runningPhase, half, pi, twoPi);
    outPhase[half] = 0.0f;
    if (wide != 0)
        for (int t = 0; t < half; ++t)
        {
            if (std::fabs (winner[t]) <= 2.5f * pi || outMagnitude[t] == 0.0f)
                continue;
            const float phi = wrapPhase (wrapPhase (winner[t], pi, twoPi) + runningPhase[t], pi, twoPi);
            outPhase[t] = phi;
            runningPhase[t] = phi;
        }
}
} // namespace veltrane
