#pragma once

#include "AppliedValue.h"
#include "BandTransfer.h"
#include "LargeBuffer.h"
#include "LayerFileTarget.h"
#include "LayerLoader.h"
#include "LoopLayer.h"
#include "ShortTimeTransform.h"
#include "VeltraneProcessor.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

/** revolva: four loop layers, each recorded from the input or loaded from a sound file,
    played as a beat-quantised loop through its own phase vocoder (transposed by its
    pitch, stretched by the common stretch factor) under an attack/release envelope that
    MIDI notes or the play switches open and close. The output is the sum of the layers. */
class RevolvaAudioProcessor : public veltrane::VeltraneProcessor, public veltrane::LayerFileTarget
{
public:
    enum ParameterIndex
    {
        stretchParam = 0,
        bandsParam = 1,
        attackParam = 2,
        releaseParam = 3,
        bpmParam = 4,
        bpmlockParam = 5,
        layerParam = 6,
        play1Param = 7,
        record1Param = 11,
        file1Param = 15,
        pitch1Param = 19,
        start1Param = 23,
        end1Param = 27,
        gain1Param = 31,
        filepos1Param = 35,
        ingainParam = 39,
        outgainParam = 40,
        colorParam = 41,
        numParams = 42
    };

    static constexpr int numLayers = 4;

    RevolvaAudioProcessor();
    ~RevolvaAudioProcessor() override;

    void prepareToPlay (double sampleRate, int blockSize) override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    juce::AudioProcessorEditor* createEditor() override;
    MeterLevels meterLevels() const noexcept override
    {
        return { inputPeak[0].load (std::memory_order_relaxed), inputPeak[1].load (std::memory_order_relaxed),
                 outputPeak[0].load (std::memory_order_relaxed), outputPeak[1].load (std::memory_order_relaxed) };
    }
    void setStateInformation (const void* data, int sizeInBytes) override;
    /** Each layer holding a file saves its path and the file frame its content starts at
        ("layerfile1", "layerstart1", ...); recorded layers are not saved. */
    std::vector<veltrane::StateFormat::Extra> extraState() const override;
    std::vector<juce::String> extraStateNames() const override;
    /** Loads the saved files as a user's choice would, from the saved start; a file that is
        missing or refused leaves its layer empty and its file switch off, and is named in
        fileProblem(). Layers the state names no file for keep what they hold. */
    void restoreExtraState (const std::vector<juce::String>& texts) override;

    float scaledFromNormalized (int i, float p) const override;

    // Layer files, message thread.
    /** Loads the sound file at path into layer (0..3): 0 when the file is accepted (its
        audio reaches the layer between two blocks shortly after), -1 when it cannot be
        opened or is refused; the layer then keeps what it had. */
    int loadSoundFile (int layer, const juce::String& path);
    /** Clears a layer's audio and picture and detaches its file. */
    void closeFile (int layer);

    /** Loads a sound file into a layer (0..3) and returns once the layer holds it; false
        when it is refused (the layer unchanged) or takes longer than a minute. While blocks
        are being processed the audio thread adopts the file at its next block; with no
        audio running (an offline renderer before its first block) it is adopted here. */
    bool loadLayerFileNow (int layer, const juce::File& file) override;
    int getNumLayers() const override { return numLayers; }
    bool waitForLayerFiles() override;
    juce::String layerFileProblem() const override { return fileProblem(); }
    /** Message thread: when no block has run for a while (a host that stopped processing),
        moves a finished load, clearing or refill into its layer; true when one was moved.
        Blocks that start meanwhile are skipped silently rather than kept waiting. */
    bool adoptLoadedLayerIfIdle();
    /** The last file that could not be loaded ("not found: name" or "cannot read: name"),
        empty when there is none; and a count that grows with each new one. Message thread
        or host threads, never the audio thread. */
    juce::String fileProblem() const;
    int fileProblemCount() const noexcept { return problemCount.load (std::memory_order_relaxed); }
    /** Records a file that could not be loaded for the editor to show. */
    void reportFileProblem (const juce::String& path, bool missing);
    /** True while a load, clearing or refill has not yet reached its layer. */
    bool isFileWorkPending() const noexcept { return loader.busy(); }
    bool isLayerFileOpen (int layer) const noexcept { return loader.isFileOpen (layer); }

    /** Moves the clocks, e.g. to check long sessions: sampleClock (samples) and
        beatPosition (beats). Not for use while the audio thread runs. */
    void setClocks (std::int64_t samples, double beats) noexcept;

    // Per-block steps (audio thread).
    void handleMidi (const juce::MidiBuffer& midi, std::int64_t now) noexcept;
    void updateTransformSize() noexcept;
    void updateTempo() noexcept;
    void updateHops() noexcept;
    void updateLoopTiming() noexcept;
    void advanceEnvelope (revolva::LoopLayer& layer, std::int64_t t) noexcept;
    void startLayer (revolva::LoopLayer& layer, std::int64_t now) noexcept;
    void releaseLayer (revolva::LoopLayer& layer, std::int64_t now) noexcept;

    // The stretch and shift kernel.
    /** Plays one layer for n samples, adding into out0 (and out1 when stereo). */
    void playLayer (int index, float* out0, float* out1, int n) noexcept;
    void newHop (int index) noexcept;
    /** Reads count samples of the layer's loop from buffer index from into dst. */
    void getSamples (float* dst, int count, int layer, int channel, int from) noexcept;
    /** Maps one analysis spectrum to the output spectrum, transposed by ratio x pitchBend. */
    void stretchShift (float* out, const float* in, float* phaseMemory, float* phaseSum, float ratio) noexcept;

    // Working values (audio thread unless stated).
    veltrane::ShortTimeTransform transform { false }; // size, hop N/8 and Blackman windows of every layer's frames
    veltrane::AppliedValue lastApplied[numParams];    // normalized value of each parameter when last acted on
    int stereo = 1;                                   // 1 when the block has two channels
    float inputGain = 1.0f;                           // linear factor on the input meters
    float outputGain = 1.0f;                          // linear factor on every layer's output
    // Decaying peaks of the input and output (linear, 1 = full scale); the editor reads them.
    std::atomic<float> inputPeak[2] {};
    std::atomic<float> outputPeak[2] {};
    std::int64_t sampleClock = 0;                          // samples rendered since construction
    float fractionCarry = 0.0f;                            // fraction carried between loop-end computations (frames)
    float attackSeconds = 0.005f, releaseSeconds = 0.005f; // seconds
    float attackStep = 0.0f;                               // envelope rise per sample
    float releaseStep = 0.0f;                              // envelope change per sample while releasing (negative)
    float pitchBend = 1.0f;                                // frequency ratio of the pitch wheel
    double beatPosition = 0.0;                             // beats elapsed
    double hopClock = 0.0;                                 // beat clock of the loop reads
    double barPosition = 0.0;                              // bars elapsed at the end of the current block
    std::int64_t lastBar = 0;                              // last whole bar at which a recording could begin
    float beatsPerBar = 4.0f;
    float beatsPerSecond = 2.0f;
    float beatsPerSample = 0.0f;
    float barsPerSample = 0.0f;
    float stretchFactor = 1.0f;                // time-stretch factor
    int analysisHop = 128, synthesisHop = 128; // samples
    float timeRatio = 1.0f;                    // analysisHop / synthesisHop
    double currentSampleRate = 44100.0;

    revolva::LoopLayer layers[numLayers];
    /** Scratch of stretchShift, 65536 floats each, planar: magnitudes of bins 0..N/2 from
        index 0, their phases (polarIn: then frequencies, cycles per sample) from polarPlane. */
    std::vector<float> polarIn, polarOut;
    static constexpr int polarPlane = 32768;

protected:
    void messageThreadTick() override { adoptLoadedLayerIfIdle(); }

private:
    /** The block's work, in the order of processBlock. */
    void processLayers (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) noexcept;
    void playSwitches (std::int64_t now) noexcept;
    void recordLayers (const juce::AudioBuffer<float>& buffer, int n) noexcept;
    void layerSettings (int index) noexcept;

    veltrane::LargeVector<float> pool; // 5 x 2 x layerLength floats: four layers and the staging pair
    bool tempoKnown = false;           // the first tempo is taken, not treated as a change
    std::atomic<bool> stateRestored { false };
    // Who may touch the layers' buffers: the audio thread for a block, or the message
    // thread for an adoption while no blocks run. Neither ever waits for the other.
    enum LayerOwner
    {
        layersFree,
        layersInBlock,
        layersAdopting
    };
    std::atomic<int> layerOwner { layersFree };
    std::atomic<std::int64_t> blocksProcessed { 0 };
    // Message thread: blocks counted at the last look, and when that count last moved (ms).
    std::int64_t blocksSeen = -1;
    juce::uint32 blocksSeenAt = 0;
    veltrane::BandTransfer bandTransfer; // bins to their transposed frequencies, loud to quiet
    mutable std::mutex problemMutex;     // message and host threads
    juce::String problem;                // under problemMutex
    std::atomic<int> problemCount { 0 };
    revolva::LayerLoader loader;
};
