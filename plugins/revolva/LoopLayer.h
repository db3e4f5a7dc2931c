#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace revolva
{
/** Phase-vocoder state of one channel of one layer. */
struct ChannelState
{
    static constexpr int maxBins = 32768;
    static constexpr int maxFrame = 16384;

    int hopPosition = 0; // output samples of the current synthesis hop already taken
    int inRotation = 0;  // running analysis offset, modulo N
    int outRotation = 0; // running synthesis offset, modulo N
    std::vector<float> phaseMemory = std::vector<float> (maxBins, 0.0f); // radians (negated convention)
    std::vector<float> phaseSum = std::vector<float> (maxBins, 0.0f);    // radians
    std::vector<float> layerAccumulator =
        std::vector<float> (maxFrame, 0.0f); // overlap-add output; 0..Hs-1 is the current hop
    std::vector<float> sourceFrame = std::vector<float> (maxFrame, 0.0f); // last N source samples

    void clearArrays() noexcept;
};

/** One loop layer: its audio, loop region, envelope and timing. Written by the audio
    thread; the message thread reads only waveDirty and peaks. */
struct LoopLayer
{
    static constexpr int layerLength = 524288; // frames (2^19)
    static constexpr int layerMask = layerLength - 1;
    static constexpr int numPeaks = 288;

    std::atomic<int> waveDirty { 0 }; // 1 when the picture changed; the editor clears it
    int playPosition = 0;             // next buffer index the loop read takes
    int startPosition = 0;            // loop start index
    int endPosition = 0;              // loop end index
    int note = 60;                    // MIDI note of the layer
    float layerGain = 0.5f;           // linear
    float envelope = 0.0f;            // 0..1; the level applied is its square
    float layerPitch = 1.0f;          // frequency ratio of the transposition
    std::int64_t attackEnd = 0;       // sample time until which the envelope rises
    std::int64_t releaseStart = 0;    // sample time after which it falls
    std::int64_t releaseEnd = 0;      // sample time after which it is 0
    float* leftBuffer = nullptr;      // layerLength samples, owned by the processor's pool
    float* rightBuffer = nullptr;
    std::array<std::atomic<float>, numPeaks> peaks {}; // largest |mono| per 1/288 of the buffer
    int writePosition = 0;                             // next index written by recording
    float loopSourceLength = 0.0f;                     // buffer frames read per loop cycle (signed)
    float loopOutputLength = 0.0f;                     // output samples per loop cycle (signed)
    double loopStartBeat = 0.0;                        // beat at which the current cycle began
    double loopEndBeat = 0.0;                          // beat at which the next cycle must begin
    ChannelState leftState, rightState;

    void clearPeaks() noexcept
    {
        for (auto& p : peaks)
            p.store (0.0f, std::memory_order_relaxed);
    }
};

/** The picture rule shared by recording and loading: bin of buffer index w, and the
    update of its largest absolute value by the mono sample m. */
inline int peakBin (int w) noexcept
{
    int j = (int) ((double) ((float) w * 288.0f) / (double) LoopLayer::layerLength);
    return j < 0 ? 0 : (j > LoopLayer::numPeaks - 1 ? LoopLayer::numPeaks - 1 : j);
}

inline float raisedPeak (float current, float m) noexcept
{
    if (m >= 0.0f && m >= current)
        return m;
    if (m < 0.0f && -m > current)
        return -m;
    return current;
}
} // namespace revolva
