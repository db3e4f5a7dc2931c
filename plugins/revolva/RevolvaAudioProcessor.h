#pragma once

#include "LayerFileTarget.h"
#include "LayerLoader.h"
#include "LoopLayer.h"
#include "Spect.h"
#include "VeltraneProcessor.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

/** revolva: four loop layers, each recorded from the input or loaded from a sound file,
    played as a beat-quantised loop through its own phase vocoder (transposed by its
    pitch, stretched by the common stretch factor) under an attack/release envelope that
    MIDI notes or the play switches open and close. The output is the sum of the layers. */
class RevolvaAudioProcessor : public veltrane::VeltraneProcessor, public spect, public veltrane::LayerFileTarget
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
    void setStateInformation (const void* data, int sizeInBytes) override;

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
    /** Message thread: when no block has run for a while (a host that stopped processing),
        moves a finished load, clearing or refill into its layer; true when one was moved.
        Blocks that start meanwhile are skipped silently rather than kept waiting. */
    bool adoptLoadedLayerIfIdle();
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
    void advanceEnvelope (LoopLayer& layer, std::int64_t t) noexcept;
    void startLayer (LoopLayer& layer, int index, std::int64_t now) noexcept;
    void releaseLayer (LoopLayer& layer, std::int64_t now) noexcept;

    // The stretch and shift kernel.
    /** Plays one layer for n samples, adding into out0 (and out1 when stereo). */
    void playLayer (int index, float* out0, float* out1, int n) noexcept;
    void newHop (int index) noexcept;
    /** Reads count samples of the layer's loop from buffer index from into dst. */
    void getSamples (float* dst, int count, int layer, int channel, int from) noexcept;
    /** Maps one analysis spectrum to the output spectrum, transposed by ratio x pitchBend. */
    void stretchShift (float* out, const float* in, float* phaseMemory, float* phaseSum, float ratio) noexcept;

    /** Transform size for a "bands" value p: 2 x 2^trunc(10p + 3), kept in 16..16384. */
    static int fftSizeForBands (float p) noexcept;

    // Working values (audio thread unless stated).
    float lastApplied[numParams] {};  // normalized value of each parameter when last acted on
    std::int64_t sampleClock = 0;     // samples rendered since construction
    float fractionCarry = 0.0f;       // fraction carried between loop-end computations (frames)
    float attackSeconds = 0.005f, releaseSeconds = 0.005f; // seconds
    float attackStep = 0.0f;          // envelope rise per sample
    float releaseStep = 0.0f;         // envelope change per sample while releasing (negative)
    float pitchBend = 1.0f;           // frequency ratio of the pitch wheel
    double beatPosition = 0.0;        // beats elapsed
    double hopClock = 0.0;            // beat clock of the loop reads
    double barPosition = 0.0;         // bars elapsed at the end of the current block
    std::int64_t lastBar = 0;         // last whole bar at which a recording could begin
    float beatsPerBar = 4.0f;
    float beatsPerSecond = 2.0f;
    float beatsPerSample = 0.0f;
    float barsPerSample = 0.0f;
    float stretchFactor = 1.0f;       // time-stretch factor
    int analysisHop = 128, synthesisHop = 128; // samples
    float timeRatio = 1.0f;           // analysisHop / synthesisHop
    double currentSampleRate = 44100.0;

    LoopLayer layers[numLayers];
    /** Scratch of stretchShift, 65536 floats each, planar: magnitudes of bins 0..N/2 from
        index 0, their phases (polarIn: then frequencies, cycles per sample) from polarPlane. */
    std::vector<float> polarIn, polarOut;
    static constexpr int polarPlane = 32768;

    /** Magnitude band of a source bin, loudest first: band j holds bandLimits[j + 1] < m
        <= bandLimits[j], and band 0 also every finite magnitude above 1 (partials louder
        than about -6 dBFS); magnitudes at most 0.00001, infinite or NaN give numBands. */
    int bandOf (float magnitude) const noexcept
    {
        // Without branches: magnitudes are noise-like, so a branch would often be mispredicted.
        const std::uint32_t inside = (std::uint32_t) -(int) ((magnitude > bandLimits[numBands])
                                                             & (magnitude <= std::numeric_limits<float>::max()));
        const float m = std::min (magnitude, 1.0f);
        std::uint32_t u;
        std::memcpy (&u, &m, sizeof u);
        const int b = bandTable[((u >> 16) - bandKeyBase) & inside];
        const int settled = b - (int) (m > bandLimits[b]);
        return (int) (((std::uint32_t) settled & inside) | ((std::uint32_t) numBands & ~inside));
    }

protected:
    void messageThreadTick() override { adoptLoadedLayerIfIdle(); }

private:
    /** The block's work, in the order of processBlock. */
    void processLayers (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) noexcept;
    void playSwitches (std::int64_t now) noexcept;
    void recordLayers (const juce::AudioBuffer<float>& buffer, int n) noexcept;
    void layerSettings (int index) noexcept;
    void rebuildWindowsIfNeeded() noexcept;

    std::vector<float> pool;           // 5 x 2 x layerLength floats: four layers and the staging pair
    bool tempoKnown = false;           // the first tempo is taken, not treated as a change
    std::atomic<bool> stateRestored { false };
    // Who may touch the layers' buffers: the audio thread for a block, or the message
    // thread for an adoption while no blocks run. Neither ever waits for the other.
    enum LayerOwner { layersFree, layersInBlock, layersAdopting };
    std::atomic<int> layerOwner { layersFree };
    std::atomic<std::int64_t> blocksProcessed { 0 };
    // Message thread: blocks counted at the last look, and when that count last moved (ms).
    std::int64_t blocksSeen = -1;
    juce::uint32 blocksSeenAt = 0;
    int windowsSize = 0, windowsHop = 0, windowsKind = -1;
    static constexpr int maxBands = 40;
    float bandLimits[maxBands] {};     // the magnitude bands' limits, loudest first
    int numBands = 0;
    // Band of the smallest magnitude above the lowest limit in each run of floats sharing
    // their top 16 bits; a run is narrower than a band, so one comparison settles the rest.
    std::vector<unsigned char> bandTable;
    std::uint32_t bandKeyBase = 0;
    std::vector<int> bandOrder;        // bins sorted by band, lowest bin first within a band
    std::vector<unsigned char> binBand;
    std::vector<int> binTarget;        // output bin of each source bin, -1 for none
    std::vector<float> binWinner;      // phase step (radians) of the source each output bin takes its phase from
    std::vector<float> binStep;        // phase step (radians) that moves a source to its target
    LayerLoader loader;
};
