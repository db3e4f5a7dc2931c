#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace durafold
{
/** One grain of a granular voice. The left and right slot of the same number are started
    and retired together with the same times; only the history they read differs. */
struct Grain
{
    double startTime = 0.0;     // sample time of the first sample (fractional with shimmer)
    double endTime = 0.0;       // startTime + length, sample time
    float length = 0.0f;        // samples
    float inverseLength = 0.0f; // 1 / length (1 for an empty grain)
    float readPosition = 0.0f;  // history index of the next sample, kept in 0..historySize-1
    bool active = false;
};

/** Phase-vocoder memory of one voice and channel, sized for the largest transform. */
struct VocoderState
{
    static constexpr int maxSize = 16384;
    static constexpr int maxBins = maxSize / 2 + 1;

    VocoderState()
        : lastPhase ((size_t) maxBins, 0.0f),
          runningPhase ((size_t) maxBins, 0.0f),
          output ((size_t) maxSize, 0.0f),
          frame ((size_t) maxSize, 0.0f)
    {
    }

    void clear() noexcept
    {
        hopPosition = analysisRotation = synthesisRotation = 0;
        for (auto* v : { &lastPhase, &runningPhase, &output, &frame })
            std::fill (v->begin(), v->end(), 0.0f);
    }

    std::int64_t hopPosition = 0;       // output samples of the current hop already emitted, 0..G
    std::int64_t analysisRotation = 0;  // 0..N-1
    std::int64_t synthesisRotation = 0; // 0..N-1
    std::vector<float> lastPhase;       // radians, analysis phase of each bin in the previous frame
    std::vector<float> runningPhase;    // radians, synthesis phase of each bin
    std::vector<float> output;          // overlap-add accumulator; first G samples are emitted next
    std::vector<float> frame;           // last N history samples read for this voice, oldest first
};

/** A voice: where it reads the history, its current segment, and its renderers' state. */
struct Voice
{
    static constexpr int grainSlots = 8;

    std::int64_t readPosition = 0;  // history index, unmasked
    std::int64_t segmentStart = 0;  // history index where the current segment begins
    std::int64_t segmentEnd = 0;    // history index where it ends (exclusive)
    std::int64_t lastGrainTime = 0; // sample time of the last grain onset
    Grain grains[2][grainSlots];    // [channel][slot]
    VocoderState vocoder[2];        // [channel]
};
} // namespace durafold
