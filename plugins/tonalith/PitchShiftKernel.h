#pragma once

#include "KernelSettings.h"

namespace tonalith
{
/** The FFT-domain pitch shift of one channel: each bin's instantaneous frequency times the
    ratio picks the output bin nearest to it. Bins are carried from loud to quiet in 3 dB
    bands (ascending bin within a band); the first partial that reaches an output bin in a
    frame fixes its phase, later ones only add magnitude. */
class PitchShiftKernel
{
public:
    static constexpr int maxBins = 8192;   // N/2 of the largest transform
    static constexpr int maxBands = 128;   // band edges from 1.0 down to the gate threshold
    static constexpr float bandFactor = 0.707106f;
    static constexpr float minimumThreshold = 1.0e-12f; // keeps the band count bounded

    PitchShiftKernel();
    ~PitchShiftKernel();
    PitchShiftKernel (const PitchShiftKernel&) = delete;
    PitchShiftKernel& operator= (const PitchShiftKernel&) = delete;

    /** polar holds (magnitude, phase) of bins 0..N/2 from the polar conversion of the input;
        its phase slots of bins 0..N/2-1 receive the shifted frequencies (cycles per sample).
        shiftedPolar receives the output pairs, lastPhase and shiftPhase are the channel's
        analysis and output phase memories (radians). out is the halfcomplex result. */
    void process (float* out, float* polar, float* shiftedPolar, float* lastPhase, float* shiftPhase,
                  const KernelSettings& s) noexcept;

private:
    /** Orders the carried bins band by band (loudest first, everything above 1.0 in the
        first band), ascending within a band, as the repeated band passes would visit
        them; returns how many bins are carried. */
    int orderByBand (const float* polar, int count, float threshold) noexcept;

    float edges[maxBands + 2];   // edges[0] = 1.0 > edges[1] > ... > edges[bands] = T
    int bands = 0;
    int bandStart[maxBands + 2];
    int* bandOf = nullptr;       // band of each bin, -1 when not carried
    int* order = nullptr;        // carried bins in visiting order
};
} // namespace tonalith
