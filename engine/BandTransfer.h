#pragma once

#include <cstdint>

namespace veltrane
{
/** Moves source bins to target bins band by band: magnitudes are grouped in 3 dB bands from
    1.0 down to a floor, loudest first (every finite magnitude above 1.0 belongs to the first
    band), and visited in ascending bin order within a band. The first source that reaches a
    target bin in a frame fixes its phase, its phase step added to the target's running
    phase; later ones only add their magnitude. This is the transfer that the pitch shifter
    and the loop layers' phase vocoder share; each computes its sources' frequencies itself.

    All work arrays are allocated at construction for N = 16384 (8192 sources and targets);
    nothing allocates afterwards. */
class BandTransfer
{
public:
    static constexpr int maxBins = 8192; // N/2 of the largest transform
    static constexpr float bandFactor = 0.707106f;
    static constexpr float lowestFloor = 1.0e-12f; // keeps the number of bands bounded
    static constexpr int maxBands = 96;

    /** What happens to a source whose frequency lies below bin 0. */
    enum class BelowBinZero
    {
        dropped, // only frequencies rounding to bin 0 from above -1 bin land there
        landsInBinZero
    };

    BandTransfer();
    ~BandTransfer();
    BandTransfer (const BandTransfer&) = delete;
    BandTransfer& operator= (const BandTransfer&) = delete;

    /** The lowest band edge (a magnitude at or below it is not carried), kept at or above
        lowestFloor. The edges are 1.0 and each 0.707106 of the last, the last one the floor;
        a floor of 1.0 or more leaves no band. */
    void setFloor (float floor) noexcept;
    int bandCount() const noexcept { return numBands; }
    float edge (int i) const noexcept { return edges[i]; }

    /** Band of a magnitude, loudest first: band j holds edge(j + 1) < m <= edge(j), band 0
        also every finite m above 1; bandCount() for magnitudes that are not carried. */
    int bandOf (float m) const noexcept;

    /** For sources 0..count-1 with frequency[i x stride] in cycles per sample (stride 1 or
        2): the nearest bin t of n f (halves round down), none when t is not below n/2 or the
        frequency is not a number, and for frequencies below bin 0 as the rule says; and the
        phase step (t/n - f) x hopTwoPi (radians) that moves the source there. */
    void assignTargets (const float* frequency, int stride, int count, int n, float hopTwoPi,
                        BelowBinZero rule) noexcept;

    /** Transfers sources 0..count-1 of magnitude[i x stride] (stride 1 or 2) to the targets
        that assignTargets gave them. Writes outMagnitude and outPhase for bins 0..half (bin
        half stays silent) and each reached target's runningPhase; unreached targets keep
        their running phase, and their output phase is meaningless (magnitude 0). The three
        output arrays are distinct from each other and from magnitude. */
    void transfer (const float* magnitude, int stride, int count, int half, float* outMagnitude, float* outPhase,
                   float* runningPhase, float pi, float twoPi) noexcept;

    const int* targets() const noexcept { return target; }
    const float* steps() const noexcept { return step; }

private:
    float edges[maxBands + 1] {};
    int numBands = 0;
    float currentFloor = -1.0f;
    // Band of the smallest magnitude above the floor in each run of floats sharing their top
    // 16 bits; a run is narrower than a band, so one comparison settles the rest. Words, so
    // that vector gathers read them.
    std::uint32_t* table = nullptr;
    std::uint32_t keyBase = 0;

    int* target = nullptr;         // per source: target bin or -1
    float* step = nullptr;         // per source: phase step to its target (radians)
    unsigned char* band = nullptr; // per source: band, bandCount() when not carried
    int* order = nullptr;          // carried sources in visiting order
    float* winner = nullptr;       // per target (and a spare slot): the phase step of its first source
};
} // namespace veltrane
