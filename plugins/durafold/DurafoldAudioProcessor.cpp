#include "DurafoldAudioProcessor.h"

#include "DurafoldAudioProcessorEditor.h"
#include "DurafoldParameters.h"
#include "PeakMeter.h"
#include "TransformSize.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
/** A restored state can hold any float: values that are not numbers act as the fallback. */
inline float finiteOr (float x, float fallback) noexcept { return std::isfinite (x) ? x : fallback; }
} // namespace

DurafoldAudioProcessor::DurafoldAudioProcessor()
    : VeltraneProcessor (durafold::identity(), durafold::parameterTable(), numParams)
{
    for (auto& m : meters)
        m.store (0.0f, std::memory_order_relaxed);
    for (int c = 0; c < 2; ++c)
    {
        history[c].assign ((size_t) historySize, 0.0f);
        dry[c].assign ((size_t) maxRun, 0.0f);
        polar[c].assign ((size_t) veltrane::ShortTimeTransform::maxFFTSize + 2, 0.0f);
    }
    fadeRamp.assign ((size_t) maxFadeLength, 0.0f);
    // The vocoder overlap-adds at hop N/8, so the windows are normalised for it from the
    // start; otherwise a "bands" value that keeps N = 1024 would leave them scaled for N/4
    // and the vocoder 6 dB too loud until the size first changed.
    transform.configure (transform.fftSize, windowKindFor (durafold::parameterTable()[windowParam].initial));
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
        fadeRamp[(size_t) i] = 0.5f - 0.5f * std::cos (transform.pi * (float) i / (float) fadeLength);
    setRate (finiteOr (param (rateParam), durafold::parameterTable()[rateParam].initial));
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
    auto value = [] (int i, float p) { return finiteOr (p, durafold::parameterTable()[i].initial); };

    if (value (tempolockParam, param (tempolockParam)) > 0.5f && tempo > 0.0)
        setParameterFromProcessing (rateParam, (std::log10 ((float) tempo / 60.0f) + 0.60206f) * 0.830482f);

    const float shape = value (windowParam, param (windowParam));
    const float bands = value (bandsParam, param (bandsParam));
    if (appliedBands.update (bands))
    {
        const int n = veltrane::transformSizeForBands (bands);
        if (n != transform.fftSize)
        {
            // The chosen shape survives a change of size.
            transform.configure (n, windowKindFor (shape));
            reportLatency (n);
            clearVocoders();
        }
    }

    const float voicesValue = value (voicesParam, param (voicesParam));
    if (appliedVoices.update (voicesValue))
    {
        // Eight voice records exist: a restored value beyond the range must not ask for more.
        float wanted = std::floor (6.0f * voicesValue + 2.0f);
        wanted = std::clamp (wanted, 2.0f, (float) maxVoices);
        voiceCount = (std::int64_t) wanted;
        voiceGain = std::sqrt (1.0f / (float) voiceCount);
    }

    const float rateValue = value (rateParam, param (rateParam));
    if (appliedRate.update (rateValue))
        setRate (rateValue);

    const float stretch = value (stretchParam, param (stretchParam));
    vocoderMode = value (grainorpvocParam, param (grainorpvocParam)) >= 0.5f;
    // Above 8 the vocoder's analysis hop would pass the frame length.
    readSpeed = std::clamp (1.0f / std::pow (10.0f, 2.0f * stretch), 0.0f, 8.0f);
    const std::int64_t g = transform.fftSize / 8;
    analysisHop = std::max<std::int64_t> (1, (std::int64_t) (readSpeed * (float) g));
    if (vocoderMode)
        readSpeed = (float) analysisHop / (float) g;

    grainSize = value (grainsizeParam, param (grainsizeParam));
    // Onsets later than one grain hop would keep slots busy long after the knob comes back.
    shimmer = std::clamp (value (shimmerParam, param (shimmerParam)), 0.0f, 1.0f);
    if (appliedWindow.update (shape))
    {
        transform.windowKind = windowKindFor (shape);
        transform.rebuildWindows();
    }

    wetMix = value (wetdryParam, param (wetdryParam));
    segmentFactor = std::min ((float) voiceCount * 0.5f, readSpeed * (float) voiceCount);
    dryInputGain = std::pow (10.0f, 2.0f * value (ingainParam, param (ingainParam)) - 1.0f);
    dryOutputGain = std::pow (10.0f, 2.0f * value (outgainParam, param (outgainParam)) - 1.0f);
}

void DurafoldAudioProcessor::restartVoice (std::int64_t v, std::int64_t w, std::int64_t time) noexcept
{
    currentVoice = v;
    auto& voice = voices[v];
    const std::int64_t s = vocoderMode ? w - transform.fftSize : w;
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
        veltrane::raisePeak (peaks[inputLeftMeter], x);
        hl[w] = x;
        if (stereoRun)
        {
            const float y = finiteOr (right[k] * dryInputGain, 0.0f);
            veltrane::raisePeak (peaks[inputRightMeter], y);
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
            veltrane::raisePeak (peak, out);
        }
    }

    for (int i = 0; i < 4; ++i)
        meters[i].store (peaks[i] * 0.9f, std::memory_order_relaxed); // durafold's own, faster fall
}

juce::AudioProcessorEditor* DurafoldAudioProcessor::createEditor() { return new DurafoldAudioProcessorEditor (*this); }
