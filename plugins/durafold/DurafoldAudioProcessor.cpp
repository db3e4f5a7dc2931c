#include "DurafoldAudioProcessor.h"

#include "DurafoldAudioProcessorEditor.h"
#include "DurafoldGrainEnvelope.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
using veltrane::Conversion;

const veltrane::ParameterInfo durafoldParameters[] = {
    // name, kind, a, b, c, min, max, scaled default, normalized default, at construction
    { "stretch", Conversion::exp10, 2.0f, 0.0f, 0.5f, 1.0f, 100.0f, 10.0f, 0.5f, 0.0f },
    { "rate", Conversion::exp10, 1.20412f, -0.60206f, 0.830482f, 0.25f, 4.0f, 1.0f, 0.5f, 0.5f },
    { "bands", Conversion::exp2, 10.0f, 3.0f, 0.1f, 8.0f, 8192.0f, 512.0f, 0.6f, 0.6f },
    { "grainsize", Conversion::exp10, 2.0f, -1.5f, 0.5f, 0.3f, 3.16f, 0.3f, 0.3f, 0.0f },
    { "shimmer", Conversion::linear, 100.0f, 0.0f, 0.01f, 0.0f, 100.0f, 25.0f, 0.25f, 0.25f },
    { "grainorpvoc", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "tempolock", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "voices", Conversion::stepped, 6.0f, 2.0f, 1.0f / 6.0f, 2.0f, 8.0f, 5.0f, 0.5f, 0.5f },
    { "wetdry", Conversion::linear, 100.0f, 0.0f, 0.01f, 0.0f, 100.0f, 70.0f, 0.7f, 0.5f },
    { "ingain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    { "outgain", Conversion::linear, 40.0f, -20.0f, 0.025f, -20.0f, 20.0f, 0.0f, 0.5f, 0.5f },
    { "color", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    // The window shape of the phase vocoder has never had a name of its own.
    { "unknown", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f },
};

const veltrane::PluginIdentity durafoldIdentity { "++durafold", "durafold", false, false };

/** A restored state can hold any float: values that are not numbers act as the fallback. */
inline float finiteOr (float x, float fallback) noexcept { return std::isfinite (x) ? x : fallback; }

/** Raises a running peak by one sample; values that are not finite would pin it forever. */
inline void raiseMeter (float& peak, float x) noexcept
{
    if (! std::isfinite (x))
        return;
    if (x > peak)
        peak = x;
    if (x < -peak)
        peak = -x;
}
} // namespace

DurafoldAudioProcessor::DurafoldAudioProcessor()
    : VeltraneProcessor (durafoldIdentity, durafoldParameters, numParams), spect (2, false)
{
    for (auto& m : meters)
        m.store (0.0f, std::memory_order_relaxed);
    for (int c = 0; c < 2; ++c)
    {
        history[c].assign ((size_t) historySize, 0.0f);
        dry[c].assign ((size_t) maxRun, 0.0f);
        polar[c].assign ((size_t) maxFFTSize + 2, 0.0f);
    }
    for (auto& a : applied)
        a = 0.01f;
    fadeRamp.assign ((size_t) maxFadeLength, 0.0f);
    // Blocks may arrive before prepareToPlay; they fade at the fallback rate.
    prepareToPlay (44100.0, 512);
}

void DurafoldAudioProcessor::setSampleClock (std::int64_t samples) noexcept
{
    const std::int64_t shift = samples - sampleClock;
    sampleClock = samples;
    for (auto& v : voices)
    {
        v.lastGrainTime += shift;
        for (auto& channel : v.grains)
            for (auto& g : channel)
            {
                g.startTime += (double) shift;
                g.endTime += (double) shift;
            }
    }
}

int DurafoldAudioProcessor::fftSizeForBands (float bands) noexcept
{
    float e = std::floor (10.0f * bands + 3.0f);
    if (! (e >= 3.0f))
        e = 3.0f;
    if (e > 13.0f)
        e = 13.0f;
    return 2 * (int) std::exp2 (e);
}

int DurafoldAudioProcessor::windowKindFor (float shape) noexcept
{
    if (shape < 0.25f)
        return veltrane::hammingWindow;
    if (shape < 0.5f)
        return veltrane::raisedCosineWindow;
    if (shape < 0.75f)
        return veltrane::kaiserWindow;
    return veltrane::blackmanWindow;
}

float DurafoldAudioProcessor::normalizedFromScaled (int i, float s) const
{
    if (i == voicesParam)
        return (std::trunc (s) - 2.0f) / 6.0f;
    return VeltraneProcessor::normalizedFromScaled (i, s);
}

void DurafoldAudioProcessor::prepareToPlay (double newRate, int)
{
    float sr = (float) newRate;
    if (! (sr >= 44100.0f && sr <= 192000.0f))
        sr = 44100.0f;
    sampleRate = sr;
    // The ramp buffer holds the longest fade, so nothing is allocated here.
    fadeLength = std::min<std::int64_t> ((std::int64_t) std::floor (0.025f * sampleRate), maxFadeLength);
    for (std::int64_t i = 0; i < fadeLength; ++i)
        fadeRamp[(size_t) i] = 0.5f - 0.5f * std::cos (pi * (float) i / (float) fadeLength);
    setRate (finiteOr (param (rateParam), durafoldParameters[rateParam].initial));
}

void DurafoldAudioProcessor::setRate (float p) noexcept
{
    float r = std::pow (10.0f, 1.20412f * p - 0.60206f);
    if (std::isnan (r))
        return;
    // Far outside the knob's range (a host tempo or a restored state), but never a rate that
    // stops the voices or makes the phase wrap run away.
    r = std::clamp (r, 1.0e-3f, 1.0e5f);
    rate = r;
    phaseIncrement = rate / sampleRate;
    period = sampleRate / rate;
}

double DurafoldAudioProcessor::currentTempo()
{
    if (auto* head = getPlayHead())
        if (auto position = head->getPosition())
            if (auto bpm = position->getBpm())
                if (std::isfinite (*bpm) && *bpm > 0.0)
                    lastKnownTempo = *bpm;
    return lastKnownTempo;
}

void DurafoldAudioProcessor::clearVocoders() noexcept
{
    for (auto& p : polar)
        std::fill (p.begin(), p.end(), 0.0f);
    for (auto& v : voices)
        for (auto& s : v.vocoder)
            s.clear();
}

void DurafoldAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const int channels = buffer.getNumChannels();
    const int total = buffer.getNumSamples();
    if (channels < 1 || total <= 0)
        return;
    // Checked before anything is touched, so a re-entered call cannot disturb the dry copies.
    if (busy.exchange (true, std::memory_order_relaxed))
        return;

    const bool stereoBuffer = channels != 1;
    float* left = buffer.getWritePointer (0);
    float* right = stereoBuffer ? buffer.getWritePointer (1) : left;
    const double tempo = param (tempolockParam) > 0.5f ? currentTempo() : 0.0;

    for (int offset = 0; offset < total; offset += maxRun)
    {
        const int n = std::min (maxRun, total - offset);
        processRun (left + offset, right + offset, n, stereoBuffer, tempo);
    }

    busy.store (false, std::memory_order_relaxed);
}

void DurafoldAudioProcessor::applyParameters (double tempo) noexcept
{
    auto value = [] (int i, float p) { return finiteOr (p, durafoldParameters[i].initial); };

    if (value (tempolockParam, param (tempolockParam)) > 0.5f && tempo > 0.0)
        setParameterFromProcessing (rateParam, (std::log10 ((float) tempo / 60.0f) + 0.60206f) * 0.830482f);

    const float shape = value (windowParam, param (windowParam));
    const float bands = value (bandsParam, param (bandsParam));
    if (bands != applied[bandsParam])
    {
        applied[bandsParam] = bands;
        const int n = fftSizeForBands (bands);
        if (n != fftSize)
        {
            overlapShift = 3;
            // The chosen shape survives a change of size.
            windowKind = windowKindFor (shape);
            setFFTSize (n);
            reportLatency (n);
            clearVocoders();
        }
    }

    const float voicesValue = value (voicesParam, param (voicesParam));
    if (voicesValue != applied[voicesParam])
    {
        applied[voicesParam] = voicesValue;
        // Eight voice records exist: a restored value beyond the range must not ask for more.
        float wanted = std::floor (6.0f * voicesValue + 2.0f);
        wanted = std::clamp (wanted, 2.0f, (float) maxVoices);
        voiceCount = (std::int64_t) wanted;
        voiceGain = std::sqrt (1.0f / (float) voiceCount);
    }

    const float rateValue = value (rateParam, param (rateParam));
    if (rateValue != applied[rateParam])
    {
        applied[rateParam] = rateValue;
        setRate (rateValue);
    }

    applied[stretchParam] = value (stretchParam, param (stretchParam));
    vocoderMode = value (grainorpvocParam, param (grainorpvocParam)) >= 0.5f;
    // Above 8 the vocoder's analysis hop would pass the frame length.
    readSpeed = std::clamp (1.0f / std::pow (10.0f, 2.0f * applied[stretchParam]), 0.0f, 8.0f);
    const std::int64_t g = fftSize / 8;
    analysisHop = std::max<std::int64_t> (1, (std::int64_t) (readSpeed * (float) g));
    if (vocoderMode)
        readSpeed = (float) analysisHop / (float) g;

    applied[grainsizeParam] = grainSize = value (grainsizeParam, param (grainsizeParam));
    applied[shimmerParam] = value (shimmerParam, param (shimmerParam));
    // Onsets later than one grain hop would keep slots busy long after the knob comes back.
    shimmer = std::clamp (applied[shimmerParam], 0.0f, 1.0f);
    if (shape != applied[windowParam])
    {
        applied[windowParam] = shape;
        windowKind = windowKindFor (shape);
        rebuildWindows();
    }

    applied[wetdryParam] = wetMix = value (wetdryParam, param (wetdryParam));
    applied[ingainParam] = value (ingainParam, param (ingainParam));
    applied[outgainParam] = value (outgainParam, param (outgainParam));
    segmentFactor = std::min ((float) voiceCount * 0.5f, readSpeed * (float) voiceCount);
    dryInputGain = std::pow (10.0f, 2.0f * applied[ingainParam] - 1.0f);
    dryOutputGain = std::pow (10.0f, 2.0f * applied[outgainParam] - 1.0f);
}

void DurafoldAudioProcessor::restartVoice (std::int64_t v, std::int64_t w, std::int64_t time) noexcept
{
    currentVoice = v;
    auto& voice = voices[v];
    const std::int64_t s = vocoderMode ? w - fftSize : w;
    voice.readPosition = s;
    voice.segmentStart = s;
    // Summed in double so segment bounds stay exact however long the processor runs.
    voice.segmentEnd = (std::int64_t) ((double) s + (double) (segmentFactor * period));
    voice.lastGrainTime = time;
}

void DurafoldAudioProcessor::writeInput (const float* left, const float* right, int n, bool stereoRun,
                                         float* peaks) noexcept
{
    float* hl = history[0].data();
    float* hr = history[1].data();
    for (int k = 0; k < n; ++k)
    {
        const std::int64_t w = writeIndex & historyMask;
        if (! (voicePhase >= 0.0f))
            voicePhase = 0.0f;
        while (voicePhase >= (float) voiceCount)
            voicePhase -= (float) voiceCount;
        const auto v = (std::int64_t) voicePhase;
        if (v != currentVoice)
            restartVoice (v, w, sampleClock + k);

        // A sample that is not a number is stored as silence so it cannot linger in the voices.
        const float x = finiteOr (left[k] * dryInputGain, 0.0f);
        raiseMeter (peaks[inputLeftMeter], x);
        hl[w] = x;
        if (stereoRun)
        {
            const float y = finiteOr (right[k] * dryInputGain, 0.0f);
            raiseMeter (peaks[inputRightMeter], y);
            hr[w] = y;
        }
        writeIndex = w + 1;
        voicePhase += phaseIncrement;
    }
}

void DurafoldAudioProcessor::processRun (float* left, float* right, int n, bool stereoRun, double tempo) noexcept
{
    std::memcpy (dry[0].data(), left, sizeof (float) * (size_t) n);
    std::memcpy (dry[1].data(), right, sizeof (float) * (size_t) n);

    applyParameters (tempo);

    float peaks[4];
    for (int i = 0; i < 4; ++i)
        peaks[i] = meters[i].load (std::memory_order_relaxed);

    writeInput (left, right, n, stereoRun, peaks);

    if (vocoderMode)
        renderPhaseVocoder (left, right, n, stereoRun, peaks);
    else
        renderGranular (left, right, n, stereoRun);

    const float m = wetMix;
    for (int c = 0; c <= (stereoRun ? 1 : 0); ++c)
    {
        float* io = c == 0 ? left : right;
        const float* d = dry[c].data();
        float& peak = peaks[outputLeftMeter + c];
        for (int k = 0; k < n; ++k)
        {
            const float out = dryOutputGain * ((1.0f - m) * (d[k] * dryInputGain)) + m * io[k];
            io[k] = out;
            raiseMeter (peak, out);
        }
    }

    for (int i = 0; i < 4; ++i)
        meters[i].store (peaks[i] * 0.9f, std::memory_order_relaxed);
}

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

void DurafoldAudioProcessor::startGrain (DurafoldVoice& voice, int j, std::int64_t now, float length, float grainHop,
                                         float shimmerAmount) noexcept
{
    voice.lastGrainTime = now;
    seed = seed * 196314165u + 907633515u;
    const double u = (double) seed * (1.0 / 4294967296.0);
    DurafoldGrain g;
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
    const float twoPiLocal = twoPi;
    const float* hl = history[0].data();
    const float* hr = history[1].data();
    const auto wrap = (float) historySize;
    constexpr int slots = DurafoldVoice::grainSlots;
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
        durafoldGrainEnvelopes (phase, envelope, lanes);

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

juce::AudioProcessorEditor* DurafoldAudioProcessor::createEditor() { return new DurafoldAudioProcessorEditor (*this); }
