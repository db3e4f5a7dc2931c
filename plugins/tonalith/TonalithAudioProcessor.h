#pragma once

#include "AppliedValue.h"
#include "NoteEventQueue.h"
#include "PitchShiftKernel.h"
#include "ScaleSieve.h"
#include "SineBank.h"
#include "Spect.h"
#include "StepTable.h"
#include "VeltraneProcessor.h"

#include <vector>

/** tonalith: a spectral pitch shifter. Partials move by a ratio built from a step of up to
    +-12 semitones (equal-tempered or just), an octave shift and cents; a gate drops quiet
    bins; an optional scale sieve snaps partials to the harmonics of held notes; output is
    resynthesised by inverse FFT or by a bank of sine oscillators. */
class TonalithAudioProcessor : public veltrane::VeltraneProcessor, public spect
{
public:
    enum ParameterIndex
    {
        pitchshiftParam = 0,
        octaveParam,
        bandsParam,
        thresholdParam,
        centsParam,
        harmonicsParam,
        outputModeParam, // reported as "unknown": above 0.5 the sine bank
        sieveParam,      // reported as "unknown": above 0.5 the sieve is on
        justParam,
        ingainParam,
        outgainParam,
        colorParam,
        numParams
    };

    TonalithAudioProcessor();
    ~TonalithAudioProcessor() override;

    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    juce::AudioProcessorEditor* createEditor() override;
    MeterLevels meterLevels() const noexcept override
    {
        return { inputPeak[0].load (std::memory_order_relaxed), inputPeak[1].load (std::memory_order_relaxed),
                 outputPeak[0].load (std::memory_order_relaxed), outputPeak[1].load (std::memory_order_relaxed) };
    }

    juce::String textForValue (int i, float p) const override;
    /** "pitchshift" reads step labels of either tuning or a number of semitones. */
    float valueForText (int i, const juce::String& text, float current) const override;

    /** One frame: transform size from "bands", working values, analysis, then the FFT
        kernel or the sine bank per channel. */
    void processFFTBlock() override;

    /** The FFT kernel for one channel (arrays as described in PitchShiftKernel). */
    void fftPitchShift (float* outSpectrum, const float* inSpectrum, float* polar, float* shiftedPolar,
                        float* lastPhase, float* shiftPhase) noexcept;
    /** The sine bank for one channel: adds hop samples to output. */
    void addSynth (float* output, float* polar, float* oscState, float* lastPhase, float* oscPhase) noexcept;

    /** Note keys from the editor (message thread, one producer): queued and applied by the
        audio thread at the start of its next block. Returns false if the queue was full. */
    bool noteOn (int note);
    bool noteOff (int note);

    /** Slot of a note as last applied (-1 when not held); safe from any thread. */
    int noteSlotForDisplay (int note) const noexcept { return sieve.displaySlotOf (note); }
    /** 1 after a change of the held notes; the editor clears it. */
    std::atomic<int>& notesChanged() noexcept { return sieve.notesChanged; }

    /** Delay of the output (samples) at transform size n in the given output mode. */
    static int latencyFor (int n, float outputMode) noexcept;

    static constexpr int maxPairs = maxFFTSize / 2 + 1; // bins 0..N/2 of the largest transform

    // Working values of the current frame (audio thread).
    float pitchRatio = 1.0f;       // frequency factor applied to every partial
    float gateThreshold = 1.0e-6f; // linear magnitude threshold of the partial gate
    float outputModeSnapshot = 0.0f;
    float sieveSnapshot = 0.0f;

    // Per channel (magnitude, phase) pairs and phase memories, sized for N = 16384 (x2 for
    // the polar pairs, which the kernels index as 2k and 2k + 1).
    std::vector<float> polar[2], shiftedPolar[2], lastPhase[2], shiftPhase[2];

    tonalith::StepTable steps;
    tonalith::ScaleSieve sieve; // changed on the audio thread only
    tonalith::SineBank sineBank;

private:
    void updateTransformSize() noexcept;
    void updateWorkingValues() noexcept;
    tonalith::KernelSettings kernelSettings() const noexcept;
    void handleMidi (const juce::MidiBuffer& midi) noexcept;

    tonalith::PitchShiftKernel pitchKernel;
    tonalith::NoteEventQueue noteQueue;

    // The last "bands", "ingain" and "outgain" acted upon; unset until the first frame.
    veltrane::AppliedValue appliedBands, appliedInGain, appliedOutGain;
};
