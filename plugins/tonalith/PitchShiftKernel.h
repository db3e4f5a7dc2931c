#pragma once

#include "BandTransfer.h"
#include "KernelSettings.h"

#include <vector>

namespace tonalith
{
/** The FFT-domain pitch shift of one channel: each bin's instantaneous frequency times the
    ratio picks the output bin nearest to it (frequencies below bin 0 land in bin 0), and
    the engine's band-ordered transfer moves the bins there, loud to quiet. */
class PitchShiftKernel
{
public:
    static constexpr int maxBins = veltrane::BandTransfer::maxBins; // N/2 of the largest transform

    PitchShiftKernel();

    /** polar holds (magnitude, phase) of bins 0..N/2 from the polar conversion of the input;
        its phase slots of bins 0..N/2-1 receive the shifted frequencies (cycles per sample).
        shiftedPolar receives the output pairs, lastPhase and shiftPhase are the channel's
        analysis and output phase memories (radians). out is the halfcomplex result. */
    void process (float* out, float* polar, float* shiftedPolar, float* lastPhase, float* shiftPhase,
                  const KernelSettings& s) noexcept;

private:
    veltrane::BandTransfer transfer;
    std::vector<float> outMagnitude, outPhase; // planes of the output bins 0..N/2
    std::vector<float> difference;             // per source bin: its phase difference, radians
};
} // namespace tonalith
