// revolva's layer envelopes: started and released by MIDI notes (layer or split mode) and by
// the play switches, which also set the layer's pitch; the pitch wheel bends every layer.
#include "ClampedTrunc.h"
#include "RevolvaAudioProcessor.h"

#include <cmath>

using revolva::clampedTrunc;
using revolva::LoopLayer;

namespace
{
constexpr float oneOver72 = 0.013888889f; // pitch parameter per semitone
} // namespace

void RevolvaAudioProcessor::startLayer (LoopLayer& layer, std::int64_t now) noexcept
{
    const double rate = currentSampleRate;
    layer.attackEnd = now + clampedTrunc ((double) attackSeconds * rate, 0, INT64_C (1) << 40);
    layer.releaseStart = layer.releaseEnd = now + (std::int64_t) (rate * 10000.0);
}

void RevolvaAudioProcessor::releaseLayer (LoopLayer& layer, std::int64_t now) noexcept
{
    layer.releaseEnd = now + clampedTrunc ((double) releaseSeconds * currentSampleRate, 0, INT64_C (1) << 40);
    layer.releaseStart = now;
    layer.attackEnd = now;
}

void RevolvaAudioProcessor::advanceEnvelope (LoopLayer& layer, std::int64_t t) noexcept
{
    float e = layer.envelope;
    if (t > layer.releaseEnd)
    {
        layer.envelope = 0.0f;
        return;
    }
    if (t > layer.releaseStart)
        e += releaseStep;
    else if (t > layer.attackEnd)
    {
        layer.envelope = 1.0f;
        return;
    }
    else
        e += attackStep;
    if (e < 0.0f)
        e = 0.0f;
    else if (e > 1.0f)
    {
        e = 1.0f;
        layer.attackEnd = t;
    }
    else if (! (e >= 0.0f))
        e = 0.0f; // a step from a NaN attack or release time leaves no trace
    layer.envelope = e;
}

void RevolvaAudioProcessor::handleMidi (const juce::MidiBuffer& midi, std::int64_t now) noexcept
{
    const bool splitMode = param (layerParam) > 0.5f;
    for (const auto meta : midi)
    {
        if (meta.numBytes < 1)
            continue;
        const juce::uint8* d = meta.data;
        const int status = d[0];
        const int d1 = meta.numBytes > 1 ? d[1] : 0;
        const int d2 = meta.numBytes > 2 ? d[2] : 0;
        const int channel = status & 0x0F;
        const int kind = status & 0xF0;

        if (kind == 0x90 && d2 != 0)
        {
            const float v = (float) (d1 - 24) * oneOver72;
            for (int l = 0; l < numLayers; ++l)
            {
                if (splitMode && l != channel)
                    continue;
                layers[l].note = d1;
                setParameterFromProcessing (pitch1Param + l, v);
                startLayer (layers[l], now);
            }
        }
        else if (kind == 0x80 || kind == 0x90)
        {
            for (int l = 0; l < numLayers; ++l)
            {
                if (splitMode && l != channel)
                    continue;
                if (layers[l].note == d1)
                    releaseLayer (layers[l], now);
            }
        }
        else if (kind == 0xE0)
        {
            const int b = d2 * 128 + d1 - 8192;
            pitchBend = b >= 0 ? std::exp2 ((float) b * 1.0173768e-05f) : std::exp2 ((float) b * 1.0172526e-05f);
        }
    }
}

void RevolvaAudioProcessor::playSwitches (std::int64_t now) noexcept
{
    for (int l = 0; l < numLayers; ++l)
    {
        const int i = play1Param + l;
        const float previous = lastApplied[i].value();
        if (! lastApplied[i].update (param (i)))
            continue;
        if (previous > 0.5f)
            releaseLayer (layers[l], now);
        else
        {
            setParameterFromProcessing (pitch1Param + l, (float) (layers[l].note - 24) * oneOver72);
            startLayer (layers[l], now);
        }
    }
}
