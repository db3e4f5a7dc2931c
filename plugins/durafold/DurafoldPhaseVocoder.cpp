// The phase-vocoder renderer of DurafoldAudioProcessor: per voice and channel an analysis
// frame read H samples further into the history every hop, each bin's phase advance
// rescaled from H to G = N / 8 samples, and overlap-add of the resynthesised frames.

#include "DurafoldAudioProcessor.h"
#include "DurafoldBinKernel.h"
#include "PeakMeter.h"
#include "RotatedFrames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void DurafoldAudioProcessor::renderPhaseVocoder (float* left, float* right, int n, bool stereoRun,
                                                 float* peaks) noexcept
{
    const std::int64_t G = transform.fftSize / 8;
    std::fill (left, left + n, 0.0f);
    if (stereoRun)
        std::fill (right, right + n, 0.0f);

    const float gain = voiceGain;
    for (std::int64_t v = 0; v < voiceCount; ++v)
    {
        auto& voice = voices[v];
        auto& l = voice.vocoder[0];
        auto& r = voice.vocoder[1];
        int b = 0;
        int remaining = n;
        while (remaining > 0)
        {
            const std::int64_t c = l.hopPosition;
            if (c >= G)
            {
                runHop (voice, stereoRun);
                continue;
            }
            const int K = (int) std::min<std::int64_t> (remaining, G - c);
            const float* outL = l.output.data() + c;
            for (int i = 0; i < K; ++i)
            {
                left[b + i] += outL[i] * gain;
                veltrane::raisePeak (peaks[outputLeftMeter], left[b + i]);
            }
            if (stereoRun)
            {
                const float* outR = r.output.data() + c;
                for (int i = 0; i < K; ++i)
                {
                    right[b + i] += outR[i] * gain;
                    veltrane::raisePeak (peaks[outputRightMeter], right[b + i]);
                }
            }
            l.hopPosition = r.hopPosition = c + K;
            if (c + K == G)
                runHop (voice, stereoRun);
            remaining -= K;
            b += K;
        }
    }
    sampleClock += n;
}

float DurafoldAudioProcessor::readForFrame (const float* h, const durafold::Voice& voice, std::int64_t r) const noexcept
{
    const std::int64_t e = voice.segmentEnd;
    if (r >= e)
        return 0.0f;
    const float x = h[r & historyMask];
    const std::int64_t in = r - voice.segmentStart;
    if (in >= 0 && in < fadeLength)
        return x * fadeRamp[(size_t) in];
    const std::int64_t out = e - r;
    if (out < fadeLength) // out >= 1 here
        return x * fadeRamp[(size_t) out];
    return x;
}

void DurafoldAudioProcessor::analyse (durafold::Voice& voice, int ch, std::int64_t r) noexcept
{
    const int N = transform.fftSize;
    const auto H = (int) analysisHop;
    auto& state = voice.vocoder[ch];
    float* frame = state.frame.data();
    std::memmove (frame, frame + H, sizeof (float) * (size_t) (N - H));
    const float* h = history[ch].data();
    float* fresh = frame + (N - H);
    for (int i = 0; i < H; ++i)
        fresh[i] = readForFrame (h, voice, r + i);
    veltrane::windowRotated (frame, transform.analysisWindow, 1.0f, (int) state.analysisRotation, N,
                             transform.fftInput[ch]);
    transform.forwardTransform (transform.fftInput[ch], transform.spectrum[ch]);
}

void DurafoldAudioProcessor::propagateAndSynthesise (durafold::VocoderState& state, int ch, float ratio) noexcept
{
    const int N = transform.fftSize;
    float* magnitude = polar[ch].data();
    durafold::propagateBins (transform.spectrum[ch], N, ratio, transform.pi, transform.twoPi, magnitude,
                             magnitude + polarPlane, state.lastPhase.data(), state.runningPhase.data(),
                             transform.outputSpectrum[ch]);
    float* t = transform.timeBuffer[ch];
    transform.inverseTransform (transform.outputSpectrum[ch], t);
    veltrane::overlapAddRotated (t, transform.synthesisWindow, 1.0f, (int) state.synthesisRotation, N,
                                 state.output.data());
}

void DurafoldAudioProcessor::runHop (durafold::Voice& voice, bool stereoRun) noexcept
{
    const int N = transform.fftSize;
    const std::int64_t mask = N - 1;
    const int G = N / 8;
    const std::int64_t H = analysisHop;
    const int channels = stereoRun ? 2 : 1;

    voice.vocoder[0].hopPosition = voice.vocoder[1].hopPosition = 0;
    for (int ch = 0; ch < channels; ++ch)
    {
        auto& s = voice.vocoder[ch];
        s.analysisRotation = (s.analysisRotation + H) & mask;
        s.synthesisRotation = (s.synthesisRotation + G) & mask;
        veltrane::advanceByHop (s.output.data(), N, G);
    }

    const std::int64_t r = voice.readPosition;
    for (int ch = 0; ch < channels; ++ch)
        analyse (voice, ch, r);

    const float ratio = (float) G / (float) H;
    for (int ch = 0; ch < channels; ++ch)
        propagateAndSynthesise (voice.vocoder[ch], ch, ratio);

    voice.readPosition = r + H;
}
