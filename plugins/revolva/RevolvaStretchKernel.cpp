// The per-layer phase vocoder of revolva: loop reads, rotated analysis and synthesis, and
// each bin moved to its transposed frequency by the engine's band-ordered transfer.
#include "RevolvaAudioProcessor.h"

#include "PhaseMath.h"
#include "PolarConversion.h"
#include "RotatedFrames.h"
#include "VectorClones.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using revolva::ChannelState;
using revolva::LoopLayer;

void revolva::ChannelState::clearArrays() noexcept
{
    std::fill (phaseMemory.begin(), phaseMemory.end(), 0.0f);
    std::fill (phaseSum.begin(), phaseSum.end(), 0.0f);
    std::fill (layerAccumulator.begin(), layerAccumulator.end(), 0.0f);
    std::fill (sourceFrame.begin(), sourceFrame.end(), 0.0f);
}

void RevolvaAudioProcessor::playLayer (int index, float* out0, float* out1, int n) noexcept
{
    LoopLayer& layer = layers[index];
    ChannelState& ls = layer.leftState;
    ChannelState& rs = layer.rightState;
    const float gain = layer.layerGain * outputGain;
    int i = 0, remaining = n;
    while (remaining > 0)
    {
        int c = std::min (remaining, synthesisHop - ls.hopPosition);
        if (c > 0)
        {
            const float* accL = ls.layerAccumulator.data() + ls.hopPosition;
            const float* accR = rs.layerAccumulator.data() + rs.hopPosition;
            for (int j = 0; j < c; ++j)
            {
                advanceEnvelope (layer, sampleClock + i + j);
                const float level = layer.envelope * layer.envelope;
                out0[i + j] += level * accL[j] * gain;
                if (out1 != nullptr)
                    out1[i + j] += level * accR[j] * gain;
            }
            ls.hopPosition += c;
            if (out1 != nullptr)
                rs.hopPosition += c;
        }
        if (ls.hopPosition >= synthesisHop)
            newHop (index);
        if (c < 0)
            c = 0;
        i += c;
        remaining -= c;
    }
}

void RevolvaAudioProcessor::newHop (int index) noexcept
{
    LoopLayer& layer = layers[index];
    const int n = transform.fftSize;
    const int mask = n - 1;
    const int ha = analysisHop, hs = synthesisHop;
    ChannelState* states[2] = { &layer.leftState, &layer.rightState };

    for (int c = 0; c <= stereo; ++c)
    {
        ChannelState& s = *states[c];
        s.hopPosition = 0;
        s.inRotation = (s.inRotation + ha) & mask;
        s.outRotation = (s.outRotation + hs) & mask;
    }

    auto analyse = [this, n, ha, index] (ChannelState& s, int c) {
        float* frame = s.sourceFrame.data();
        std::memmove (frame, frame + ha, sizeof (float) * (size_t) (n - ha));
        getSamples (frame + n - ha, ha, index, c, layers[index].playPosition);
        veltrane::windowRotated (frame, transform.analysisWindow, 1.0f, s.inRotation, n, transform.fftInput[c]);
        transform.forwardTransform (transform.fftInput[c], transform.spectrum[c]);
    };
    auto synthesise = [this, n, &layer] (ChannelState& s, int c) {
        stretchShift (transform.outputSpectrum[c], transform.spectrum[c], s.phaseMemory.data(), s.phaseSum.data(),
                      layer.layerPitch);
        transform.inverseTransform (transform.outputSpectrum[c], transform.timeBuffer[c]);
        veltrane::overlapAddRotated (transform.timeBuffer[c], transform.synthesisWindow, 1.0f, s.outRotation, n,
                                     s.layerAccumulator.data());
    };

    veltrane::advanceByHop (layer.leftState.layerAccumulator.data(), n, hs);
    // The right read runs first and stores nothing, so both channels read the same span.
    if (stereo == 1)
    {
        veltrane::advanceByHop (layer.rightState.layerAccumulator.data(), n, hs);
        analyse (layer.rightState, 1);
    }
    analyse (layer.leftState, 0);
    synthesise (layer.leftState, 0);
    if (stereo == 1)
        synthesise (layer.rightState, 1);
}

void RevolvaAudioProcessor::getSamples (float* dst, int sampleCount, int layerIndex, int channel, int from) noexcept
{
    LoopLayer& layer = layers[layerIndex];
    const bool left = channel == 0;
    const float e = (float) layer.startPosition + layer.loopSourceLength + fractionCarry;
    const float truncated = std::trunc (e);
    // The loop lengths are bounded by the buffer, but keep the index well inside int.
    const int end = (int) std::max (-4194304.0f, std::min (4194304.0f, std::isnan (truncated) ? 0.0f : truncated));
    if (left)
        fractionCarry = std::isfinite (e - truncated) ? e - truncated : 0.0f;

    double c = hopClock;
    double d = layer.loopEndBeat;
    int pos = from;
    const float* buf = left ? layer.leftBuffer : layer.rightBuffer;
    const double step = (double) beatsPerSample;
    const double cycle = (double) std::fabs (layer.loopOutputLength) * step;
    const bool equalEnds = lastApplied[start1Param + layerIndex].value() == lastApplied[end1Param + layerIndex].value();
    const int mask = LoopLayer::layerMask;

    if (end > from)
    {
        const int restart = layer.startPosition - (equalEnds ? transform.fftSize : 0);
        for (int k = 0; k < sampleCount; ++k)
        {
            dst[k] = buf[pos & mask];
            ++pos;
            c += step;
            if (pos >= end || c >= d)
            {
                if (left)
                    layer.loopStartBeat = std::floor (c + 1.0);
                d += cycle;
                pos = restart;
            }
        }
    }
    else
    {
        const int restart = layer.startPosition + (equalEnds ? transform.fftSize : 0);
        for (int k = 0; k < sampleCount; ++k)
        {
            dst[k] = buf[pos & mask];
            --pos;
            c += step;
            if (pos <= end || c >= d)
            {
                if (left)
                    layer.loopStartBeat = std::floor (c + 1.0);
                d += cycle;
                pos = restart;
            }
        }
    }
    if (left)
    {
        layer.loopEndBeat = d;
        layer.playPosition = pos;
        hopClock = c;
    }
}

namespace
{
/** One turn each way: for |x| <= 2.5 pi the same value as veltrane::wrapPhase, without branches. */
inline float wrapOnce (float x, float pi, float twoPi) noexcept
{
    x = x > pi ? x - twoPi : x;
    return x < -pi ? x + twoPi : x;
}

/** Replaces each phase by its advance since the last hop and remembers the phase.
    Returns non-zero when an advance is beyond limit (or not a number). */
VELTRANE_VECTOR_CLONES int advancePass (float* phaseToDelta, float* phaseMemory, int count, float limit) noexcept
{
    int farOff = 0;
    for (int k = 0; k < count; ++k)
    {
        const float phase = phaseToDelta[k];
        const float delta = phaseMemory[k] - phase;
        phaseMemory[k] = phase;
        farOff |= ! (std::fabs (delta) <= limit);
        phaseToDelta[k] = delta;
    }
    return farOff;
}

/** Advance to frequency in cycles per sample, transposed: the wrap as one turn each way. */
VELTRANE_VECTOR_CLONES void frequencyPass (float* deltaToFreq, int count, float invN, float hopRatio, float invTwoPiHs,
                                           float ratio, float bend, float pi, float twoPi) noexcept
{
    for (int k = 0; k < count; ++k)
    {
        const float delta = wrapOnce (deltaToFreq[k], pi, twoPi);
        deltaToFreq[k] = ((float) k * invN + delta * hopRatio * invTwoPiHs) * ratio * bend; // ratio, then bend
    }
}
} // namespace

void RevolvaAudioProcessor::stretchShift (float* out, const float* in, float* phaseMemory, float* phaseSum,
                                          float ratio) noexcept
{
    const int n = transform.fftSize;
    const int half = n / 2;
    const float t = pitchBend * ratio;
    int bins = half;
    if (t > 1.0f)
        bins = (int) std::min ((float) half, (float) half / t);
    const float piF = transform.pi, twoPiF = transform.twoPi;

    // Planar scratch: magnitudes in the first half of each array, the input's phases (then
    // frequencies) and the output's phases in the second, so the bin loops run on
    // contiguous floats.
    float* const inMag = polarIn.data();
    float* const inFreq = polarIn.data() + polarPlane;
    float* const outMag = polarOut.data();
    float* const outPhase = polarOut.data() + polarPlane;
    veltrane::toPolarPlanes (in, n, inMag, inFreq);

    // Phase advance since the last hop, wrapped, as frequency in cycles per sample,
    // transposed. Phases lie in [-pi, pi], so an advance needs at most one turn each way;
    // only a phase memory filled from elsewhere takes the general wrap.
    const float invN = 1.0f / (float) n;
    const float hopRatio = (float) synthesisHop / (float) analysisHop;
    const float invTwoPiHs = 1.0f / (twoPiF * (float) synthesisHop);
    if (advancePass (inFreq, phaseMemory, half, 2.5f * piF) == 0)
        frequencyPass (inFreq, half, invN, hopRatio, invTwoPiHs, ratio, pitchBend, piF, twoPiF);
    else
        for (int k = 0; k < half; ++k)
        {
            const float delta = veltrane::wrapPhase (inFreq[k], piF, twoPiF);
            inFreq[k] = ((float) k * invN + delta * hopRatio * invTwoPiHs) * ratio * pitchBend;
        }

    // Bins below B move to the bin of their transposed frequency, loud to quiet; what lies
    // below bin 0 (more than a bin) or beyond the top is dropped.
    bandTransfer.assignTargets (inFreq, 1, bins, n, twoPiF * (float) synthesisHop,
                                veltrane::BandTransfer::BelowBinZero::dropped);
    bandTransfer.transfer (inMag, 1, bins, half, outMag, outPhase, phaseSum, piF, twoPiF);
    veltrane::fromPolarPlanes (outMag, outPhase, n, out);
}
