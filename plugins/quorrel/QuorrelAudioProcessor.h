#pragma once

#include "AppliedValue.h"
#include "PhaseRebuildKernel.h"
#include "Spect.h"
#include "VeltraneProcessor.h"

#include <cstdint>
#include <vector>

/** quorrel: rebuilds every bin's phase from its measured advance (null, offset, noise),
    can scramble the bins or reset all phases, and shifts the spectrum circularly. */
class QuorrelAudioProcessor : public veltrane::VeltraneProcessor, public spect
{
public:
    enum ParameterIndex
    {
        bandsParam = 0,
        bandshiftParam,
        phaseshiftParam,
        phasenullParam,
        phasenoiseParam,
        scrambleParam,
        phaseresetParam,
        ingainParam,
        outgainParam,
        colorParam,
        numParams
    };

    QuorrelAudioProcessor();
    ~QuorrelAudioProcessor() override = default;

    void prepareToPlay (double, int) override {}
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    juce::AudioProcessorEditor* createEditor() override;
    MeterLevels meterLevels() const noexcept override
    {
        return { inputPeak[0].load (std::memory_order_relaxed), inputPeak[1].load (std::memory_order_relaxed),
                 outputPeak[0].load (std::memory_order_relaxed), outputPeak[1].load (std::memory_order_relaxed) };
    }

    void updateFFT() override;
    void processSpect() override;

    /** Draws a new permutation of the first halfSize entries of scrambleTable. */
    void drawScrambleTable() noexcept;
    /** One step of the generator shared by the permutation and the phase noise. */
    float draw() noexcept
    {
        randomState = randomState * quorrel::randomMultiplier + quorrel::randomIncrement;
        return (float) randomState;
    }

    static constexpr int maxBins = maxFFTSize / 2;

    // The last "bands", "ingain", "outgain" and "scramble" acted upon.
    veltrane::AppliedValue appliedBands, appliedInGain, appliedOutGain, appliedScramble;
    bool resetPending = false;
    float snapshot[numParams] {};   // parameters as the current frame sees them
    std::vector<int> scrambleTable; // permutation of 0..B-1
    std::uint32_t randomState = 0x5eed1234u;
    std::vector<float> polarIn[2], polarOut[2];               // (magnitude, phase) pairs, N + 2 used
    std::vector<float> measuredPhase[2], accumulatedPhase[2]; // radians, B used
    std::vector<float> rebuildScratch;                        // the rebuild's work space, 2 x maxBins

private:
    void resetPhases (int bins) noexcept;
    void processChannel (int c, int bins, int shift) noexcept;
};
