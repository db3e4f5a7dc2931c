#pragma once

#include "RealFft.h"
#include "WindowShapes.h"

namespace veltrane
{
/** The parts of the suite's short-time Fourier transform that every plug-in uses: the
    transform size and hop, analysis and synthesis windows with their normalisation, the
    fixed-scaling real FFT and a transform input, spectrum, output spectrum and time buffer
    for each of two channels. Every buffer is allocated at construction for N = 16384.
    spect builds its streaming pipeline on it; plug-ins that run their own frames own one. */
class ShortTimeTransform
{
public:
    static constexpr int maxFFTSize = 16384;
    static constexpr int maxChannels = 2;

    /** N = 1024, hop N/4, Hamming windows; unityWindowSum: the analysis window sums to 1
        rather than 2. */
    explicit ShortTimeTransform (bool unityWindowSum);
    virtual ~ShortTimeTransform();
    ShortTimeTransform (const ShortTimeTransform&) = delete;
    ShortTimeTransform& operator= (const ShortTimeTransform&) = delete;

    /** The suite's configuration in one call: transform size n (16..16384, a power of two),
        hop n/8, windows of the given kind normalised for it; the channel buffers start over. */
    void configure (int n, int kind);
    /** Rounds n down to a power of two (the caller keeps n in 16..16384), sets the hop from
        overlapShift, clears the channel buffers and rebuilds the windows in windowKind. */
    virtual void setFFTSize (int n);
    /** Both windows in windowKind at the current size, normalised for the current hop. */
    void rebuildWindows();
    /** Analysis window sums to 2 (or 1); synthesis window scaled so overlap-add at the hop
        gives unit gain. */
    void scaleWindows();

    /** Forward transform of N samples (aligned buffer) into the halfcomplex layout. */
    void forwardTransform (const float* alignedInput, float* halfcomplex) noexcept;
    /** Inverse transform of a halfcomplex spectrum into N samples (aligned buffer). */
    void inverseTransform (const float* halfcomplex, float* alignedOutput) noexcept;

    // Configuration, changed on the audio thread only.
    int fftSize = 1024;   // N, a power of two in 16..16384
    int halfSize = 512;   // N/2
    int log2Size = 10;    // log2 N
    int overlapShift = 2; // hop = N >> overlapShift
    int hop = 256;        // samples between frames
    float inverseHop = 1.0f / 256.0f;
    int windowKind = hammingWindow;
    bool unityWindowSum = false;
    float pi = 0.0f;    // 4 atanf(1), single precision
    float twoPi = 0.0f; // 8 atanf(1), single precision

    float* analysisWindow = nullptr;
    float* synthesisWindow = nullptr;
    float* fftInput[maxChannels] {};       // aligned transform input
    float* spectrum[maxChannels] {};       // halfcomplex spectrum of the current frame
    float* outputSpectrum[maxChannels] {}; // halfcomplex spectrum to resynthesise
    float* timeBuffer[maxChannels] {};     // aligned inverse transform result

private:
    RealFft fft;
};
} // namespace veltrane
