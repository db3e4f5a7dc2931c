// The granular renderer of DurafoldAudioProcessor: per voice up to eight Hann-windowed
// grains read from the history at the voice's pace, started one grain hop apart with a
// random onset shimmer, with Hermite interpolation between history samples.

#include "DurafoldAudioProcessor.h"
#include "DurafoldGrainEnvelope.h"

#include <algorithm>
#include <cmath>

inline float DurafoldAudioProcessor::interpolate (const float* h, float q) const noexcept
{
    const auto i = (std::int64_t) q; // q >= 0 (a masked history index), so this is floor (q)
    const float t = q - (float) i;
    // Grains start on whole samples and step by one, so the curve passes through the sample
    // itself; one read then does.
    if (t == 0.0f)
        return h[i & historyMask];
    const float xm1 = h[(i - 1) & historyMask];
    const float x0 = h[i & historyMask];
    const float x1 = h[(i + 1) & historyMask];
    const float x2 = h[(i + 2) & historyMask];
    const float c1 = 0.5f * (x1 - xm1);
    const float c3 = 0.5f * (x2 - xm1) + 1.5f * (x0 - x1);
    const float c2 = xm1 - x0 + c1 - c3;
    return ((c3 * t + c2) * t + c1) * t + x0;
}

void DurafoldAudioProcessor::startGrain (durafold::Voice& voice, int j, std::int64_t now, float length, float grainHop,
                                         float shimmerAmount) noexcept
{
    voice.lastGrainTime = now;
    seed = seed * 196314165u + 907633515u;
    const double u = (double) seed * (1.0 / 4294967296.0);
    durafold::Grain g;
    g.active = true;
    g.startTime = (double) now + (double) shimmerAmount * u * (double) grainHop;
    g.length = length;
    g.endTime = g.startTime + (double) length;
    g.inverseLength = length <= 0.0f ? 1.0f : 1.0f / length;
    // The masked index is exact in a float, where the unmasked one would lose samples.
    g.readPosition = (float) (voice.readPosition & historyMask);
    voice.grains[0][j] = g;
    voice.grains[1][j] = g;
    voice.readPosition = (std::int64_t) ((double) voice.readPosition + (double) (readSpeed * grainHop));
}

void DurafoldAudioProcessor::renderGranular (float* left, float* right, int n, bool stereoRun) noexcept
{
    float L = std::pow (10.0f, 2.0f * grainSize - 1.5f) * sampleRate;
    L = std::min (L, 1.0e9f);
    const float g = L / 8.0f;
    const float gain = voiceGain;
    const float twoPiLocal = transform.twoPi;
    const float* hl = history[0].data();
    const float* hr = history[1].data();
    const auto wrap = (float) historySize;
    constexpr int slots = durafold::Voice::grainSlots;
    const auto voicesNow = (int) voiceCount;
    const int lanes = voicesNow * slots;
    // One lane per grain slot of every voice: the envelope phase (0 for a silent slot) and the
    // envelope, computed for all lanes at once so the cosines vectorise.
    float phase[maxVoices * slots];
    float envelope[maxVoices * slots];
    bool sounding[maxVoices * slots];

    for (int k = 0; k < n; ++k)
    {
        const std::int64_t now = sampleClock;
        const double nowD = (double) now;

        // Onsets of every voice first: the sums below touch nothing an onset reads (only the
        // grains' read positions), so this gives what voice-by-voice order gives.
        for (int v = 0; v < voicesNow; ++v)
        {
            auto& voice = voices[v];
            if (! ((double) voice.lastGrainTime + (double) g < nowD))
                continue;
            for (int j = 0; j < slots; ++j)
            {
                auto& slot = voice.grains[0][j];
                if (! slot.active)
                {
                    startGrain (voice, j, now, L, g, shimmer);
                    break;
                }
                if (nowD >= slot.endTime)
                {
                    slot.active = false;
                    voice.grains[1][j].active = false;
                }
            }
        }

        // The envelope is shared by the left and right slot of a number.
        for (int v = 0; v < voicesNow; ++v)
            for (int j = 0; j < slots; ++j)
            {
                const auto& slot = voices[v].grains[0][j];
                const bool on = slot.active && slot.startTime <= nowD;
                const auto elapsed = (float) (nowD - slot.startTime);
                sounding[v * slots + j] = on;
                phase[v * slots + j] = on ? twoPiLocal * elapsed * slot.inverseLength : 0.0f;
            }
        durafold::grainEnvelopes (phase, envelope, lanes);

        float wetL = 0.0f, wetR = 0.0f;
        for (int v = 0; v < voicesNow; ++v)
        {
            auto& voice = voices[v];
            const bool* on = sounding + v * slots;
            const float* e = envelope + v * slots;
            float sumL = 0.0f;
            for (int j = 0; j < slots; ++j)
            {
                if (! on[j])
                    continue;
                auto& slot = voice.grains[0][j];
                sumL += 0.5f * interpolate (hl, slot.readPosition) * e[j];
                slot.readPosition += 1.0f;
                if (slot.readPosition >= wrap)
                    slot.readPosition -= wrap;
            }
            wetL += sumL * gain;

            if (stereoRun)
            {
                float sumR = 0.0f;
                for (int j = 0; j < slots; ++j)
                {
                    if (! on[j])
                        continue;
                    auto& slot = voice.grains[1][j];
                    sumR += 0.5f * interpolate (hr, slot.readPosition) * e[j];
                    slot.readPosition += 1.0f;
                    if (slot.readPosition >= wrap)
                        slot.readPosition -= wrap;
                }
                wetR += sumR * gain;
            }
        }
        left[k] = wetL;
        if (stereoRun)
            right[k] = wetR;
        ++sampleClock;
    }
}
