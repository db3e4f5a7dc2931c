#include "TonalithAudioProcessor.h"

#include "ParameterText.h"
#include "TonalithAudioProcessorEditor.h"
#include "TonalithParameters.h"
#include "TransformSize.h"

#include <algorithm>
#include <cmath>

namespace
{
/** A parameter as the processing reads it: a value that is not a number counts as the
    value at construction, so derived quantities stay defined. */
inline float usable (float p, float fallback) noexcept { return std::isnan (p) ? fallback : p; }
} // namespace

TonalithAudioProcessor::TonalithAudioProcessor()
    : VeltraneProcessor (tonalith::identity(), tonalith::parameterTable(), numParams),
      spect (2, false),
      sineBank (twoPi)
{
    for (int c = 0; c < 2; ++c)
    {
        polar[c].assign (2 * (size_t) maxPairs, 0.0f);
        shiftedPolar[c].assign (2 * (size_t) maxPairs, 0.0f);
        lastPhase[c].assign ((size_t) maxPairs, 0.0f);
        shiftPhase[c].assign ((size_t) maxPairs, 0.0f);
    }
    inputGain = 1.0f;
    // Hop N/8 from the start: a "bands" value whose N equals the engine's first size keeps
    // the engine's configuration, which must already be the one the frames assume.
    configure (fftSize, veltrane::blackmanWindow);
    // The first frame configures the transform from "bands"; hosts learn that latency now.
    reportLatency (latencyFor (veltrane::transformSizeForBands (param (bandsParam), 0.5f), param (outputModeParam)));
    publishPendingLatency();
}

TonalithAudioProcessor::~TonalithAudioProcessor() = default;

int TonalithAudioProcessor::latencyFor (int n, float outputMode) noexcept
{
    // The FFT output is centred on its frame, N after the frame's centre entered. The sine
    // bank glides to each frame's values over the last hop of the accumulator, so a frame
    // is heard fully N later than it ends: N/2 more.
    return outputMode > 0.5f ? n + n / 2 : n;
}

juce::String TonalithAudioProcessor::textForValue (int i, float p) const
{
    if (i == pitchshiftParam)
    {
        const bool just = getParameterInfo (justParam) != nullptr && param (justParam) >= 0.5f;
        return steps.label (tonalith::stepIndex (p, 24.0f), just);
    }
    return VeltraneProcessor::textForValue (i, p);
}

float TonalithAudioProcessor::valueForText (int i, const juce::String& text, float current) const
{
    if (i != pitchshiftParam)
        return VeltraneProcessor::valueForText (i, text, current);
    // A step label of either tuning ("700 c", "3:2"; spaces and case do not matter), or a
    // number of semitones.
    const auto squeezed = text.removeCharacters (" \t").toLowerCase();
    int step = -1;
    for (int k = 0; k < tonalith::StepTable::numSteps && step < 0; ++k)
        for (bool just : { false, true })
            if (squeezed == juce::String (steps.label (k, just)).removeCharacters (" "))
                step = k;
    if (step < 0)
    {
        const auto semitones = veltrane::parseTypedNumber (text.toStdString());
        if (! semitones || std::isnan (*semitones))
            return current;
        step = (int) std::lround (std::clamp (*semitones, -12.0f, 12.0f)) + 12;
    }
    const bool just = param (justParam) >= 0.5f;
    return valueShowing (i, normalizedFromScaled (i, (float) (step - 12)), steps.label (step, just));
}

void TonalithAudioProcessor::prepareToPlay (double sampleRate, int)
{
    // The host does not run processBlock while preparing, so the tables change directly.
    sieve.prepare (sampleRate);
    // The size and mode the next frame will use (the frames report again on a change).
    reportLatency (latencyFor (veltrane::transformSizeForBands (param (bandsParam), 0.5f), param (outputModeParam)));
    publishPendingLatency();
}

bool TonalithAudioProcessor::noteOn (int note) { return note >= 0 && note < 128 && noteQueue.push (note, true); }

bool TonalithAudioProcessor::noteOff (int note) { return note >= 0 && note < 128 && noteQueue.push (note, false); }

void TonalithAudioProcessor::handleMidi (const juce::MidiBuffer& midi) noexcept
{
    for (const auto metadata : midi)
    {
        const juce::uint8* data = metadata.data;
        if (metadata.numBytes < 1)
            continue;
        const int status = data[0] >> 4;
        const int data1 = metadata.numBytes > 1 ? (data[1] & 0x7f) : 0;
        const int data2 = metadata.numBytes > 2 ? (data[2] & 0x7f) : 0;
        if (status == 0x9 && data2 != 0)
            sieve.noteOn (data1, param (harmonicsParam));
        else if (status == 0x8 || status == 0x9)
            sieve.noteOff (data1);
        else if (status == 0xE)
            sieve.setPitchBend (data2 * 128 + data1);
    }
}

void TonalithAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    juce::ScopedNoDenormals noDenormals;

    noteQueue.drain ([this] (const tonalith::NoteEventQueue::Event& e) {
        if (e.on)
            sieve.noteOn (e.note, param (harmonicsParam));
        else
            sieve.noteOff (e.note);
    });
    handleMidi (midi);

    const int inputs = getTotalNumInputChannels();
    for (int c = inputs; c < buffer.getNumChannels(); ++c)
        buffer.clear (c, 0, buffer.getNumSamples());
    processActual (buffer);
}

void TonalithAudioProcessor::updateTransformSize() noexcept
{
    const float bands = param (bandsParam);
    if (! appliedBands.update (bands))
        return;
    // "bands" is kept in 0..1; a value that is not a number counts as the construction value.
    const int n = veltrane::transformSizeForBands (bands, 0.5f);
    if (n != fftSize)
    {
        configure (n, veltrane::blackmanWindow);
        for (int c = 0; c < 2; ++c)
        {
            std::fill (lastPhase[c].begin(), lastPhase[c].end(), 0.0f);
            std::fill (shiftPhase[c].begin(), shiftPhase[c].end(), 0.0f);
        }
    }
    else
    {
        windowKind = veltrane::blackmanWindow;
        rebuildWindows();
    }
    for (int c = 0; c < maxChannels; ++c)
        analysisRotation[c] = synthesisRotation[c] = 0;
}

void TonalithAudioProcessor::updateWorkingValues() noexcept
{
    const float p0 = param (pitchshiftParam);
    const float p1 = usable (param (octaveParam), 0.5f);
    const float p3 = usable (param (thresholdParam), 0.0f);
    const float p4 = usable (param (centsParam), 0.5f);
    const bool just = param (justParam) >= 0.5f;

    const float stepRatio = steps.ratio (tonalith::stepIndex (p0, 25.0f), just);
    const float octave = std::round (6.0f * p1 - 3.0f);
    const float cents = (200.0f * p4 - 100.0f) * (1.0f / 1200.0f);
    float ratio = (float) (std::pow (2.0, (double) cents) * std::exp2 ((double) octave) * (double) stepRatio);
    if (std::isnan (ratio)) // opposite infinities from far out-of-range values
        ratio = 1.0f;
    pitchRatio = ratio;
    gateThreshold = (float) std::pow (10.0, (double) (6.0f * p3 - 6.0f));

    const float inG = param (ingainParam);
    if (appliedInGain.update (inG))
        inputGain = std::pow (10.0f, 2.0f * usable (inG, 0.5f) - 1.0f);
    const float outG = param (outgainParam);
    if (appliedOutGain.update (outG))
        outputGain = std::pow (10.0f, 2.0f * usable (outG, 0.5f) - 1.0f);

    outputModeSnapshot = param (outputModeParam);
    sieveSnapshot = param (sieveParam);
    // A new size or a mode switch changes the delay; the message thread tells the host.
    reportLatency (latencyFor (fftSize, outputModeSnapshot));
}

tonalith::KernelSettings TonalithAudioProcessor::kernelSettings() const noexcept
{
    tonalith::KernelSettings s;
    s.fftSize = fftSize;
    s.hop = hop;
    s.inverseHop = inverseHop;
    s.pi = pi;
    s.twoPi = twoPi;
    s.ratio = pitchRatio;
    s.threshold = gateThreshold;
    s.outputGain = outputGain;
    s.sieve = sieveSnapshot > 0.5f ? &sieve : nullptr;
    return s;
}

void TonalithAudioProcessor::processFFTBlock()
{
    updateTransformSize();
    updateWorkingValues();

    advanceRotations();
    for (int c = 0; c <= stereo; ++c)
        shiftAccumulator (c);

    const bool sineMode = outputModeSnapshot > 0.5f;
    for (int c = 0; c <= stereo; ++c)
    {
        analyseChannel (c);
        if (! sineMode)
        {
            fftPitchShift (outputSpectrum[c], spectrum[c], polar[c].data(), shiftedPolar[c].data(), lastPhase[c].data(),
                           shiftPhase[c].data());
            synthesiseChannel (c);
        }
        else
        {
            cartToPolar (spectrum[c], polar[c].data());
            addSynth (outputAccumulator[c] + fftSize - hop, polar[c].data(), sineBank.oscState[c], lastPhase[c].data(),
                      sineBank.oscPhase[c]);
        }
    }
}

void TonalithAudioProcessor::fftPitchShift (float* outSpectrum, const float* inSpectrum, float* polarPairs,
                                            float* shiftedPairs, float* lastPhases, float* shiftPhases) noexcept
{
    cartToPolar (inSpectrum, polarPairs);
    pitchKernel.process (outSpectrum, polarPairs, shiftedPairs, lastPhases, shiftPhases, kernelSettings());
}

void TonalithAudioProcessor::addSynth (float* output, float* polarPairs, float* oscState, float* lastPhases,
                                       float* oscPhase) noexcept
{
    sineBank.render (output, polarPairs, oscState, lastPhases, oscPhase, kernelSettings());
}

juce::AudioProcessorEditor* TonalithAudioProcessor::createEditor() { return new TonalithAudioProcessorEditor (*this); }
