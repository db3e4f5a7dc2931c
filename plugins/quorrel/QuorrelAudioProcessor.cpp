#include "QuorrelAudioProcessor.h"

#include "PhaseMath.h"
#include "PhaseRebuildKernel.h"
#include "QuorrelAudioProcessorEditor.h"
#include "QuorrelParameters.h"
#include "TransformSize.h"

#include <cmath>

QuorrelAudioProcessor::QuorrelAudioProcessor()
    : VeltraneProcessor (quorrel::identity(), quorrel::parameterTable(), numParams),
      spect (2, false)
{
    scrambleTable.resize (maxBins);
    rebuildScratch.assign (2 * maxBins, 0.0f);
    for (int k = 0; k < maxBins; ++k)
        scrambleTable[(size_t) k] = k;
    for (int c = 0; c < 2; ++c)
    {
        polarIn[c].assign (maxFFTSize + 2, 0.0f);
        polarOut[c].assign (maxFFTSize + 2, 0.0f);
        measuredPhase[c].assign (maxBins, 0.0f);
        accumulatedPhase[c].assign (maxBins, 0.0f);
    }
    inputGain = 1.0f;
    reportLatency (1024);
    publishPendingLatency();
}

void QuorrelAudioProcessor::drawScrambleTable() noexcept
{
    const int b = halfSize;
    if (b < 2)
        return;
    for (int k = 0; k < b; ++k)
        scrambleTable[(size_t) k] = k;
    for (int i = b - 1; i >= 1; --i)
    {
        int j = (int) ((double) draw() * (1.0 / 4294967296.0) * (double) b);
        if (j >= b)
            j = b - 1;
        std::swap (scrambleTable[(size_t) i], scrambleTable[(size_t) j]);
    }
}

void QuorrelAudioProcessor::resetPhases (int bins) noexcept
{
    const float step = pi * 0.25f;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < bins; ++i)
        {
            measuredPhase[c][(size_t) i] = (float) i * step;
            accumulatedPhase[c][(size_t) i] = (float) i * step;
        }
}

void QuorrelAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    if (resetPending)
    {
        resetPending = false;
        // A momentary trigger: the host's switch springs back with the plug-in's.
        setParameterFromProcessing (phaseresetParam, 0.0f);
    }
    const float inG = param (ingainParam);
    if (appliedInGain.update (inG))
        inputGain = std::pow (10.0f, 2.0f * inG - 1.0f);
    const float outG = param (outgainParam);
    if (appliedOutGain.update (outG))
        outputGain = std::pow (10.0f, 2.0f * outG - 1.0f);
    if (param (phaseresetParam) > 0.5f)
    {
        resetPending = true;
        resetPhases (halfSize);
    }
    if (appliedScramble.update (param (scrambleParam)))
        drawScrambleTable();

    const int inputs = getTotalNumInputChannels();
    for (int c = inputs; c < buffer.getNumChannels(); ++c)
        buffer.clear (c, 0, buffer.getNumSamples());
    processActual (buffer);
    for (int c = inputs; c < buffer.getNumChannels(); ++c)
        buffer.clear (c, 0, buffer.getNumSamples());
}

void QuorrelAudioProcessor::updateFFT()
{
    const float bands = param (bandsParam);
    if (! appliedBands.update (bands))
        return;
    const int n = veltrane::transformSizeForBands (bands);
    if (n != fftSize)
    {
        configure (n, veltrane::blackmanWindow);
        reportLatency (n);
        resetPhases (n / 2);
    }
    else
    {
        windowKind = veltrane::blackmanWindow;
        rebuildWindows();
    }
    drawScrambleTable();
}

void QuorrelAudioProcessor::processSpect()
{
    for (int i = 0; i < numParams; ++i)
        snapshot[i] = param (i);

    const int fullBins = veltrane::transformSizeForBands (snapshot[bandsParam]) / 2;
    const int bins = std::min (fullBins, halfSize);
    // The shift is cyclic in the bins; a hostile value past int's range (or NaN) would not
    // convert, and shifts by a multiple of the (power-of-two) bin count, as x86 made of it.
    const float bandShift = (snapshot[bandshiftParam] - 0.5f) * (float) bins;
    const int shift = std::fabs (bandShift) < 2147483520.0f ? (int) bandShift : 0;

    processChannel (0, bins, shift);
    if (stereo == 1)
        processChannel (1, bins, shift);
}

void QuorrelAudioProcessor::processChannel (int c, int bins, int shift) noexcept
{
    float* in = polarIn[c].data();
    float* out = polarOut[c].data();
    float* measured = measuredPhase[c].data();
    float* accumulated = accumulatedPhase[c].data();

    cartToPolar (spectrum[c], in);

    if (snapshot[scrambleParam] > 0.5f)
        for (int i = 0; i < bins; ++i)
        {
            const int src = scrambleTable[(size_t) i];
            in[2 * i] = in[2 * src];
            in[2 * i + 1] = in[2 * src + 1];
        }

    quorrel::RebuildSettings settings;
    settings.noise = snapshot[phasenoiseParam];
    settings.offset = (0.5f - snapshot[phaseshiftParam]) * twoPi;
    settings.keep = 1.0f - snapshot[phasenullParam];
    settings.pi = pi;
    settings.twoPi = twoPi;
    int rotation = shift % bins;
    if (rotation < 0)
        rotation += bins;
    quorrel::rebuildPhases (in, out, measured, accumulated, bins, rotation, randomState, settings,
                            rebuildScratch.data());
    // The Nyquist pair carries nothing, also after the size shrank from a larger one.
    out[2 * bins] = 0.0f;
    out[2 * bins + 1] = 0.0f;

    polarToCart (out, outputSpectrum[c]);
}

juce::AudioProcessorEditor* QuorrelAudioProcessor::createEditor() { return new QuorrelAudioProcessorEditor (*this); }
