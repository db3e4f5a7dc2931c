// revolva's clocks: the host or "bpm" tempo, the hop sizes the stretch gives, and the loop
// lengths snapped to whole beats.
#include "ClampedTrunc.h"
#include "RevolvaAudioProcessor.h"

#include <algorithm>
#include <cmath>

using revolva::clampedTrunc;

namespace
{
constexpr float log2Of30 = 4.9068904f;
} // namespace

void RevolvaAudioProcessor::setClocks (std::int64_t samples, double beats) noexcept
{
    sampleClock = samples;
    beatPosition = beats;
    hopClock = beats;
    barPosition = beats / beatsPerBar;
    lastBar = (std::int64_t) std::floor (barPosition);
    for (auto& layer : layers)
    {
        layer.loopStartBeat = beats;
        layer.loopEndBeat = beats;
        layer.attackEnd = layer.releaseStart = layer.releaseEnd = samples;
    }
}

void RevolvaAudioProcessor::updateTempo() noexcept
{
    if (param (bpmlockParam) == 1.0f)
    {
        // Only blocks that carry a host position update the tempo; otherwise the last
        // known tempo stays.
        if (auto* head = getPlayHead())
        {
            if (auto position = head->getPosition())
            {
                if (auto bpm = position->getBpm())
                {
                    const double t = *bpm;
                    if (t > 0.0 && std::isfinite (t))
                        setParameterFromProcessing (
                            bpmParam, (std::log2 ((float) (t * 0.01666666753590107) * 60.0f) - log2Of30) * 0.25f);
                }
            }
        }
    }

    const float p = param (bpmParam);
    const float bps = std::exp2 (4.0f * p + log2Of30) * 0.0166666675f;
    const float previousBps = beatsPerSecond;
    // A tempo that is no positive number keeps the previous one.
    if (bps > 0.0f && std::isfinite (bps) && (double) bps / currentSampleRate > 1e-12)
        beatsPerSecond = bps;
    beatsPerSample = (float) ((double) beatsPerSecond / currentSampleRate);
    barsPerSample = beatsPerSample / beatsPerBar;

    if (lastApplied[bpmParam].update (p))
    {
        if (tempoKnown)
        {
            const float r = previousBps / beatsPerSecond;
            stretchFactor = std::max (1.0f, r * stretchFactor);
            if (! (stretchFactor <= 1.0e6f))
                stretchFactor = 1.0e6f;
            lastApplied[stretchParam].set (std::log10 (stretchFactor) * 0.5f);
            setParameterFromProcessing (stretchParam, lastApplied[stretchParam].value());
        }
    }
    tempoKnown = true;
}

void RevolvaAudioProcessor::updateHops() noexcept
{
    const int h = transform.fftSize / 8;
    const float r = 1.0f / stretchFactor;
    if (r > 1.0f)
    {
        analysisHop = h;
        synthesisHop = (int) clampedTrunc ((double) ((float) h / r), 0, h);
        if (synthesisHop == 0)
            synthesisHop = 1;
    }
    else
    {
        synthesisHop = h;
        analysisHop = (int) clampedTrunc ((double) ((float) h * r), 0, h);
        if (analysisHop == 0)
            analysisHop = 1;
    }
    timeRatio = (float) analysisHop / (float) synthesisHop;
}

void RevolvaAudioProcessor::updateLoopTiming() noexcept
{
    const double rate = currentSampleRate;
    for (auto& layer : layers)
    {
        const int span = layer.endPosition - layer.startPosition;
        const float l = (float) span / timeRatio;
        layer.loopOutputLength = l;
        if (l == 0.0f)
            continue;
        const float beats = (float) ((double) (std::fabs (l) * beatsPerSecond) / rate);
        const double m = std::trunc ((double) beats);
        const float sign = span < 0 ? -1.0f : 1.0f;
        if (m >= 1.0)
        {
            layer.loopOutputLength = sign * (float) (m * rate / (double) beatsPerSecond);
            layer.loopEndBeat =
                m + layer.loopStartBeat - (double) ((float) transform.fftSize * stretchFactor * beatsPerSample);
        }
        else
        {
            layer.loopOutputLength = sign * (float) ((double) beats * rate / (double) beatsPerSecond);
            layer.loopEndBeat = (double) beats + layer.loopStartBeat;
        }
        layer.loopSourceLength = layer.loopOutputLength * timeRatio;
    }
}
