#pragma once

#include "AppliedValue.h"
#include "DurafoldVoice.h"
#include "LargeBuffer.h"
#include "ShortTimeTransform.h"
#include "VeltraneProcessor.h"

#include <atomic>
#include <cstdint>
#include <vector>

/** durafold: writes the input into a long history that two to eight voices, restarting in
    turn, read back up to 100 times slower, as Hann-windowed grains or through a phase
    vocoder; the voices' sum is mixed with the dry input. */
class DurafoldAudioProcessor : public veltrane::VeltraneProcessor
{
public:
    enum ParameterIndex
    {
        stretchParam = 0,
        rateParam,
        bandsParam,
        grainsizeParam,
        shimmerParam,
        grainorpvocParam,
        tempolockParam,
        voicesParam,
        wetdryParam,
        ingainParam,
        outgainParam,
        colorParam,
        windowParam,
        numParams
    };

    enum Meter
    {
        inputLeftMeter = 0,
        inputRightMeter,
        outputLeftMeter,
        outputRightMeter
    };

    static constexpr int historySize = 1 << 19;
    static constexpr std::int64_t historyMask = historySize - 1;
    static constexpr int maxVoices = 8;
    /** Longest run handled in one pass; longer host blocks are split into runs this long. */
    static constexpr int maxRun = 2048;
    /** Fade ramp capacity: 25 ms at the highest sample rate served. */
    static constexpr int maxFadeLength = 4800;

    DurafoldAudioProcessor();
    ~DurafoldAudioProcessor() override = default;

    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    juce::AudioProcessorEditor* createEditor() override;
    MeterLevels meterLevels() const noexcept override
    {
        return { meters[inputLeftMeter].load (std::memory_order_relaxed),
                 meters[inputRightMeter].load (std::memory_order_relaxed),
                 meters[outputLeftMeter].load (std::memory_order_relaxed),
                 meters[outputRightMeter].load (std::memory_order_relaxed) };
    }

    float normalizedFromScaled (int i, float s) const override;

    /** Engine window kind chosen by the window-shape parameter. */
    static int windowKindFor (float shape) noexcept;

    /** Samples rendered since construction (sample time). */
    std::int64_t getSampleClock() const noexcept { return sampleClock; }
    /** Moves the sample clock and every time taken from it by the same amount, e.g. to run a
        processor as if it had played for hours. Not for use while blocks are processed. */
    void setSampleClock (std::int64_t samples) noexcept;

    /** Peak magnitudes since the last decay (linear, 1 = full scale), indexed by Meter. */
    std::atomic<float> meters[4];
    /** Set while processBlock runs; a re-entered call leaves its buffer untouched. */
    std::atomic<bool> busy { false };

    // Audio-thread state, public for the renderers' tests.
    veltrane::ShortTimeTransform transform { false }; // the vocoder's size, hop N/8 and windows
    float sampleRate = 44100.0f;                      // Hz, 44100..192000
    veltrane::LargeVector<float> history[2];          // left, right: historySize samples each
    std::int64_t writeIndex = 0;                      // next history index to write, unmasked
    float voicePhase = 0.0f;                          // 0..voiceCount, one unit per voice period
    float phaseIncrement = 0.0f;                      // voice phase per sample (rate / sample rate)
    float period = 0.0f;                              // samples between two voice restarts
    float rate = 1.0f;                                // voice restarts per second
    std::int64_t currentVoice = 0;                    // voice most recently restarted
    std::int64_t voiceCount = 4;                      // 2..8
    float voiceGain = 0.707f;                         // sqrt(1 / voiceCount)
    float readSpeed = 1.0f;                           // history samples per output sample (1 / stretch)
    std::int64_t analysisHop = 128;                   // H: history samples per vocoder hop, 1..N
    float segmentFactor = 0.5f;                       // segment length in voice periods
    float dryInputGain = 1.0f;                        // linear, on the input and the dry path
    float dryOutputGain = 1.0f;                       // linear, on the dry path only
    std::int64_t fadeLength = 0;                      // F: samples of the segment fades
    std::vector<float> fadeRamp;                      // maxFadeLength values, F used, rising 0 towards 1
    std::vector<float> dry[2];                        // the current run's input, maxRun samples each
    std::uint32_t seed = 12345678u;
    durafold::Voice voices[maxVoices];
    /** Per channel, the current hop's magnitudes (from index 0) and phases (from polarPlane)
        of bins 0..N/2. */
    std::vector<float> polar[2];
    static constexpr int polarPlane = 8193;
    double lastKnownTempo = 0.0; // bpm, 0 until the host has given a usable tempo

private:
    /** Steps of one run of at most maxRun samples, as if the host had sent it alone. */
    void processRun (float* left, float* right, int n, bool stereo, double tempo) noexcept;
    void applyParameters (double tempo) noexcept;
    void setRate (float p) noexcept;
    void writeInput (const float* left, const float* right, int n, bool stereo, float* peaks) noexcept;
    void restartVoice (std::int64_t v, std::int64_t w, std::int64_t time) noexcept;
    void renderGranular (float* left, float* right, int n, bool stereo) noexcept;
    void startGrain (durafold::Voice& voice, int slot, std::int64_t now, float length, float grainHop,
                     float shimmer) noexcept;
    float interpolate (const float* h, float q) const noexcept;
    void renderPhaseVocoder (float* left, float* right, int n, bool stereo, float* peaks) noexcept;
    void runHop (durafold::Voice& voice, bool stereo) noexcept;
    void analyse (durafold::Voice& voice, int channel, std::int64_t r) noexcept;
    void propagateAndSynthesise (durafold::VocoderState& state, int channel, float ratio) noexcept;
    float readForFrame (const float* h, const durafold::Voice& voice, std::int64_t r) const noexcept;
    void clearVocoders() noexcept;
    /** Host tempo for this block, or the last usable one (0 if none yet). */
    double currentTempo();

    // Values the processing last acted on; unset at construction so the first block applies all.
    veltrane::AppliedValue appliedBands, appliedVoices, appliedRate, appliedWindow;
    float grainSize = 0.0f; // grainsize parameter as applied
    float shimmer = 0.0f;   // shimmer parameter as applied, kept in 0..1
    float wetMix = 0.5f;    // wetdry parameter as applied
    bool vocoderMode = false;
    std::int64_t sampleClock = 0;
};
