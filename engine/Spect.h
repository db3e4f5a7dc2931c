#pragma once

#include "ShortTimeTransform.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>

/** The suite's short-time Fourier engine as a streaming pipeline for two channels: the hop
    FIFO, the analysis history, rotation of frames to absolute time, overlap-add into the
    output accumulator, gains and decaying peak meters, over the transform, windows and
    buffers of veltrane::ShortTimeTransform. Every buffer is allocated at construction for
    N = 16384. */
class spect : public veltrane::ShortTimeTransform
{
public:
    spect (int channelCount, bool unityWindowSum);
    ~spect() override;

    virtual bool setBypass (bool b);
    /** Called first in every frame of the engine's processFFTBlock. */
    virtual void updateFFT();
    /** Consumes channels 0 and 1 (0 only for a mono buffer) in place. */
    virtual void processActual (juce::AudioSampleBuffer& buffer);
    /** Runs one frame; called once per completed hop when not bypassed. */
    virtual void processFFTBlock();
    /** Reads spectrum[c], writes the whole outputSpectrum[c] for the processed channels. */
    virtual void processSpect();

    /** The transform's setFFTSize, and the pipeline starts over: FIFO position, meters,
        input history and output accumulator cleared. */
    void setFFTSize (int n) override;
    /** Polar pairs (magnitude, phase) of bins 0..N/2 of a halfcomplex spectrum. */
    void cartToPolar (const float* halfcomplex, float* polar) const noexcept;
    /** Halfcomplex spectrum of polar pairs. */
    void polarToCart (const float* polar, float* halfcomplex) const noexcept;

    float* analysisFrame[maxChannels] {}; // last N input samples, oldest first
    float* inputFifo[maxChannels] {};
    float* outputAccumulator[maxChannels] {};
    int stereo = 1; // 1 when channel 1 is processed
    bool bypass = false;
    int analysisRotation[maxChannels] {};  // running analysis offsets, modulo N
    int synthesisRotation[maxChannels] {}; // running synthesis offsets, modulo N
    int fifoPosition = 0;                  // samples of the current hop gathered, 0..hop-1
    float inputGain = 1.0f;                // linear factor on the analysed input and input meters
    float outputGain = 1.0f;               // linear factor on every resynthesised frame

    // Decaying peaks (linear, 1 = full scale); read by the editors on the message thread.
    std::atomic<float> inputPeak[maxChannels] {};
    std::atomic<float> outputPeak[maxChannels] {};

protected:
    void advanceRotations() noexcept;        // every rotation index moves on by one hop
    void analyseChannel (int c) noexcept;    // history shift, rotation, window, forward
    void synthesiseChannel (int c) noexcept; // inverse, rotation, window, overlap-add
    void shiftAccumulator (int c) noexcept;
};
