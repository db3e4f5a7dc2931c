// The per-layer phase vocoder of revolva: loop reads, rotated analysis and synthesis,
// and the band-ordered transfer of bins to their transposed frequencies.
#include "RevolvaAudioProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

void ChannelState::clearArrays() noexcept
{
    std::fill (phaseMemory.begin(), phaseMemory.end(), 0.0f);
    std::fill (phaseSum.begin(), phaseSum.end(), 0.0f);
    std::fill (layerAccumulator.begin(), layerAccumulator.end(), 0.0f);
    std::fill (sourceFrame.begin(), sourceFrame.end(), 0.0f);
}

namespace
{
/** Wraps into [-pi, pi] by whole turns; values that are not finite become 0 and huge
    ones are reduced first, so the loops always end. */
inline float wrapPhase (float x, float pi, float twoPi) noexcept
{
    if (! std::isfinite (x))
        return 0.0f;
    if (std::fabs (x) > 64.0f * pi)
        x = std::remainder (x, twoPi);
    while (x > pi)
        x -= twoPi;
    while (x < -pi)
        x += twoPi;
    return x;
}
} // namespace

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
    const int n = fftSize;
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

    auto shiftAccumulator = [n, hs] (ChannelState& s) {
        float* acc = s.layerAccumulator.data();
        std::memmove (acc, acc + hs, sizeof (float) * (size_t) (n - hs));
        std::memset (acc + n - hs, 0, sizeof (float) * (size_t) hs);
    };
    auto analyse = [this, n, ha, index] (ChannelState& s, int c) {
        float* frame = s.sourceFrame.data();
        std::memmove (frame, frame + ha, sizeof (float) * (size_t) (n - ha));
        getSamples (frame + n - ha, ha, index, c, layers[index].playPosition);
        float* in = fftInput[c];
        const float* w = analysisWindow;
        const int r = s.inRotation;
        // Element (rotation + k) AND mask, as two straight runs.
        const int firstRun = n - r;
        for (int k = 0; k < firstRun; ++k)
            in[r + k] = frame[k] * w[k];
        for (int k = firstRun; k < n; ++k)
            in[k - firstRun] = frame[k] * w[k];
        forwardTransform (in, spectrum[c]);
    };
    auto synthesise = [this, n, &layer] (ChannelState& s, int c) {
        stretchShift (outputSpectrum[c], spectrum[c], s.phaseMemory.data(), s.phaseSum.data(), layer.layerPitch);
        float* t = timeBuffer[c];
        inverseTransform (outputSpectrum[c], t);
        float* acc = s.layerAccumulator.data();
        const float* w = synthesisWindow;
        const int r = s.outRotation;
        const int firstRun = n - r;
        for (int k = 0; k < firstRun; ++k)
            acc[k] += t[r + k] * w[k];
        for (int k = firstRun; k < n; ++k)
            acc[k] += t[k - firstRun] * w[k];
    };

    shiftAccumulator (layer.leftState);
    // The right read runs first and stores nothing, so both channels read the same span.
    if (stereo == 1)
    {
        shiftAccumulator (layer.rightState);
        analyse (layer.rightState, 1);
    }
    analyse (layer.leftState, 0);
    synthesise (layer.leftState, 0);
    if (stereo == 1)
        synthesise (layer.rightState, 1);
    (void) mask;
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
    const bool equalEnds = lastApplied[start1Param + layerIndex] == lastApplied[end1Param + layerIndex];
    const int mask = LoopLayer::layerMask;

    if (end > from)
    {
        const int restart = layer.startPosition - (equalEnds ? fftSize : 0);
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
        const int restart = layer.startPosition + (equalEnds ? fftSize : 0);
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

void RevolvaAudioProcessor::stretchShift (float* out, const float* in, float* phaseMemory, float* phaseSum, float ratio) noexcept
{
    const int n = fftSize;
    const int half = n / 2;
    const float t = pitchBend * ratio;
    int bins = half;
    if (t > 1.0f)
        bins = (int) std::min ((float) half, (float) half / t);

    std::fill (polarOut.begin(), polarOut.begin() + 2 * half, 0.0f);

    // Polar form of the analysis spectrum.
    for (int k = 0; k <= half; ++k)
    {
        const float re = in[k];
        const float im = (k == 0 || k == half) ? 0.0f : in[n - k];
        // Products of floats are exact in double, so this is hypot's value.
        const float m = (float) std::sqrt ((double) re * re + (double) im * im);
        polarIn[(size_t) (2 * k)] = m;
        polarIn[(size_t) (2 * k + 1)] = m >= 0.0f ? -std::atan2 (im, re) : 0.0f;
    }

    // Measured frequencies in cycles per sample, transposed.
    const float invN = 1.0f / (float) n;
    const float hopRatio = (float) synthesisHop / (float) analysisHop;
    const float invTwoPiHs = 1.0f / (twoPi * (float) synthesisHop);
    const float shift = ratio * pitchBend;
    for (int k = 0; k < half; ++k)
    {
        const float phase = polarIn[(size_t) (2 * k + 1)];
        float delta = phaseMemory[k] - phase;
        phaseMemory[k] = phase;
        delta = wrapPhase (delta, pi, twoPi);
        polarIn[(size_t) (2 * k + 1)] = ((float) k * invN + delta * hopRatio * invTwoPiHs) * shift;
    }

    // Sort the source bins by band (loudest first), keeping bin order within a band;
    // the same order as scanning all bins once per band.
    int counts[41] {};
    for (int i = 0; i < bins; ++i)
    {
        const float m = polarIn[(size_t) (2 * i)];
        int b = numBands; // numBands: outside every band
        if (m > bandLimits[numBands] && m <= 1.0f)
        {
            // The limits fall by about half an octave each: guess from the exponent and
            // half-octave of m, then settle on the exact float limits.
            std::uint32_t u;
            std::memcpy (&u, &m, sizeof u);
            const int e = (int) ((u >> 23) & 0xFFu) - 127;
            int j = -2 * e - ((u & 0x7FFFFFu) >= 0x3504F3u ? 2 : 1);
            j = j < 0 ? 0 : (j > numBands - 1 ? numBands - 1 : j);
            while (j > 0 && m > bandLimits[j])
                --j;
            while (j < numBands - 1 && m <= bandLimits[j + 1])
                ++j;
            b = j;
        }
        binBand[(size_t) i] = (unsigned char) b;
        ++counts[b];
    }
    int starts[41] {};
    int sum = 0;
    for (int b = 0; b <= numBands; ++b)
    {
        starts[b] = sum;
        sum += counts[b];
    }
    const int active = starts[numBands];
    for (int i = 0; i < bins; ++i)
        bandOrder[(size_t) starts[binBand[(size_t) i]]++] = i;

    const float fn = (float) n;
    const float hsTwoPi = twoPi * (float) synthesisHop;
    for (int q = 0; q < active; ++q)
    {
        const int i = bandOrder[(size_t) q];
        const float m = polarIn[(size_t) (2 * i)];
        const float f = polarIn[(size_t) (2 * i + 1)];
        const float x = fn * f;
        if (! (x > -1.0f && x < fn))
            continue;
        const float whole = std::trunc (x);
        int target = (int) whole;
        if (x - whole > 0.5f)
            ++target;
        if (target < 0 || target >= half)
            continue;
        float& mag = polarOut[(size_t) (2 * target)];
        if (mag != 0.0f)
        {
            mag += m;
            continue;
        }
        float phi = ((float) target * invN - f) * hsTwoPi;
        phi = wrapPhase (phi, pi, twoPi);
        phi = wrapPhase (phi + phaseSum[target], pi, twoPi);
        polarOut[(size_t) (2 * target + 1)] = phi;
        mag = m;
        phaseSum[target] = phi;
    }

    for (int i = 0; i <= half; ++i)
    {
        const float m = polarOut[(size_t) (2 * i)];
        const float phi = polarOut[(size_t) (2 * i + 1)];
        if (m == 0.0f)
        {
            out[i] = 0.0f;
            if (i > 0 && i < half)
                out[n - i] = 0.0f;
        }
        else
        {
            out[i] = std::cos (phi) * m;
            if (i > 0 && i < half)
                out[n - i] = -(m * std::sin (phi));
        }
    }
}
