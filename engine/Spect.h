#pragma once

#include "RealFft.h"
#include "WindowShapes.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <cmath>

/** The suite's short-time Fourier engine: transform configuration, preallocated buffers
    for two channels, windows with their normalisation, the hop FIFO and overlap-add,
    rotation of frames to absolute time, the fixed-scaling real FFT, polar conversion,
    gains and peak meters. Every buffer is allocated at construction for N = 16384. */
class spect
{
public:
    static constexpr int maxFFTSize = 16384;
    static constexpr int maxChannels = 2;

    spect (int channelCount, bool unityWindowSum);
    virtual ~spect();
    spect (const spect&) = delete;
    spect& operator= (const spect&) = delete;

    virtual bool setBypass (bool b);
    /** Called first in every frame of the engine's processFFTBlock. */
    virtual void updateFFT();
    /** Consumes channels 0 and 1 (0 only for a mono buffer) in place. */
    virtual void processActual (juce::AudioSampleBuffer& buffer);
    /** Runs one frame; called once per completed hop when not bypassed. */
    virtual void processFFTBlock();
    /** Reads spectrum[c], writes the whole outputSpectrum[c] for the processed channels. */
    virtual void processSpect();

    bool allocateMemory();
    void freeMemory();
    /** Rounds n down to a power of two; the caller keeps n in 16..16384. */
    void setFFTSize (int n);
    void initBlackmanWindows();
    void initKaiserWindows();
    void scaleWindows();
    void cartToPolar (const float* halfcomplex, float* polar) const noexcept;
    void polarToCart (const float* polar, float* halfcomplex) const noexcept;

    /** Forward transform of N samples (aligned buffer) into the halfcomplex layout. */
    void forwardTransform (const float* alignedInput, float* halfcomplex) noexcept;
    /** Inverse transform of a halfcomplex spectrum into N samples (aligned buffer). */
    void inverseTransform (const float* halfcomplex, float* alignedOutput) noexcept;

    // Configuration. All changed on the audio thread only.
    int halfSize = 512;          // N/2
    int fftSize = 1024;          // N, a power of two in 16..16384
    int log2Size = 10;           // log2 N
    float* analysisFrame[maxChannels] {};   // last N input samples, oldest first
    float* timeBuffer[maxChannels] {};      // inverse transform result
    float* spectrum[maxChannels] {};        // halfcomplex spectrum of the current frame
    float* outputSpectrum[maxChannels] {};  // halfcomplex spectrum to resynthesise
    float* outputSpectrumCopy[maxChannels] {};
    float inverseHop = 1.0f / 256.0f;       // 1/hop
    int stereo = 1;                          // 1 when channel 1 is processed
    int overlapShift = 2;                    // hop = N >> overlapShift

    // Decaying peaks (linear, 1 = full scale); read by the editors on the message thread.
    std::atomic<float> inputPeak[maxChannels] {};
    std::atomic<float> outputPeak[maxChannels] {};

    int windowKind = veltrane::hammingWindow;
    bool unityWindowSum = false;
    bool bypass = false;
    int analysisRotation[maxChannels] {};    // running analysis offsets, modulo N
    int synthesisRotation[maxChannels] {};   // running synthesis offsets, modulo N
    int hop = 256;                           // samples between frames
    int fifoPosition = 0;                    // samples of the current hop gathered, 0..hop-1
    float* analysisWindow = nullptr;
    float* synthesisWindow = nullptr;
    float* inputFifo[maxChannels] {};
    float* outputAccumulator[maxChannels] {};
    float* fftInput[maxChannels] {};         // aligned for the transform
    float pi = 0.0f;                         // 4 atanf(1), single precision
    float twoPi = 0.0f;                      // 8 atanf(1), single precision
    float inputGain = 1.0f;                  // linear factor on the analysed input and input meters
    float outputGain = 1.0f;                 // linear factor on every resynthesised frame

protected:
    /** Raises a running peak by one sample as the meters do. */
    static inline void raisePeak (float& peak, float v) noexcept
    {
        // Same as taking v, then -v, when larger; NaN leaves the peak unchanged.
        const float a = std::fabs (v);
        peak = peak < a ? a : peak;
    }

    void rebuildWindows();
    void advanceRotations() noexcept;          // every rotation index moves on by one hop
    void analyseChannel (int c) noexcept;      // history shift, rotation, window, forward
    void synthesiseChannel (int c) noexcept;   // inverse, rotation, window, overlap-add
    void shiftAccumulator (int c) noexcept;

    veltrane::RealFft fft;
};
