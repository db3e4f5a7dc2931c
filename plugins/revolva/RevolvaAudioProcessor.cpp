#include "RevolvaAudioProcessor.h"

#include "ClampedTrunc.h"
#include "PeakMeter.h"
#include "RevolvaAudioProcessorEditor.h"
#include "RevolvaParameters.h"
#include "TransformSize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

using revolva::ChannelState;
using revolva::clampedTrunc;
using revolva::LoopLayer;
using revolva::peakBin;
using revolva::raisedPeak;

namespace
{
/** Index trunc(layerMask x p) of a "start" or "end" value, inside the buffer. */
inline int loopIndex (float p) noexcept
{
    return (int) clampedTrunc ((double) ((float) LoopLayer::layerMask * p), 0, LoopLayer::layerMask);
}
} // namespace

RevolvaAudioProcessor::RevolvaAudioProcessor()
    : VeltraneProcessor (revolva::identity(), revolva::parameterTable(), numParams),
      polarIn (65536, 0.0f),
      polarOut (65536, 0.0f),
      pool ((size_t) (numLayers + 1) * 2 * LoopLayer::layerLength, 0.0f),
      loader (pool.data() + (size_t) numLayers * 2 * LoopLayer::layerLength,
              pool.data() + ((size_t) numLayers * 2 + 1) * LoopLayer::layerLength)
{
    // Continuous parameters count as changed at the first block whatever their value, so
    // a value of 0 (restored or set before playing) is applied too. Switches, "bpm" and the
    // file positions start as applied at 0.
    std::vector<int> continuous { stretchParam, bandsParam, attackParam, releaseParam, ingainParam, outgainParam };
    for (int l = 0; l < numLayers; ++l)
        for (int i : { pitch1Param + l, start1Param + l, end1Param + l, gain1Param + l })
            continuous.push_back (i);
    for (int i = 0; i < numParams; ++i)
        if (std::find (continuous.begin(), continuous.end(), i) == continuous.end())
            lastApplied[i].set (0.0f);
    for (int l = 0; l < numLayers; ++l)
    {
        layers[l].leftBuffer = pool.data() + (size_t) (2 * l) * LoopLayer::layerLength;
        layers[l].rightBuffer = pool.data() + (size_t) (2 * l + 1) * LoopLayer::layerLength;
    }
    // Overlap 8 from the start, so a "bands" value that keeps N = 1024 scales the windows
    // for the hop the kernel actually uses.
    transform.configure (transform.fftSize, veltrane::blackmanWindow);

    attackStep = (float) (1.0 / ((double) attackSeconds * currentSampleRate));
    releaseStep = (float) (-1.0 / ((double) releaseSeconds * currentSampleRate));
    beatsPerSample = (float) ((double) beatsPerSecond / currentSampleRate);
    barsPerSample = beatsPerSample / beatsPerBar;

    reportLatency (0);
    beginMessageThreadTicks();
}

RevolvaAudioProcessor::~RevolvaAudioProcessor()
{
    // The message thread's tick adopts loaded layers; it must not run into a half-destroyed processor.
    endMessageThreadTicks();
}

float RevolvaAudioProcessor::scaledFromNormalized (int i, float p) const
{
    if (i == stretchParam)
        return (float) std::pow (10.0, 2.0 * (double) p);
    return VeltraneProcessor::scaledFromNormalized (i, p);
}

void RevolvaAudioProcessor::prepareToPlay (double sampleRate, int)
{
    if (sampleRate > 0.0 && std::isfinite (sampleRate))
        currentSampleRate = sampleRate;
    attackStep = (float) (1.0 / ((double) attackSeconds * currentSampleRate));
    releaseStep = (float) (-1.0 / ((double) releaseSeconds * currentSampleRate));
}

void RevolvaAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    VeltraneProcessor::setStateInformation (data, sizeInBytes);
    // A restored tempo is taken as it stands, not as a tempo change that rescales the
    // restored stretch.
    stateRestored.store (true, std::memory_order_relaxed);
}

std::vector<veltrane::StateFormat::Extra> RevolvaAudioProcessor::extraState() const
{
    std::vector<veltrane::StateFormat::Extra> extras;
    for (int l = 0; l < numLayers; ++l)
    {
        const auto path = loader.attachedPath (l);
        if (path.empty())
            continue;
        const auto n = juce::String (l + 1);
        extras.push_back ({ "layerfile" + n, juce::String::fromUTF8 (path.c_str()) });
        extras.push_back ({ "layerstart" + n, juce::String (loader.contentStart (l)) });
    }
    return extras;
}

std::vector<juce::String> RevolvaAudioProcessor::extraStateNames() const
{
    std::vector<juce::String> attributeNames;
    for (int l = 0; l < numLayers; ++l)
    {
        attributeNames.push_back ("layerfile" + juce::String (l + 1));
        attributeNames.push_back ("layerstart" + juce::String (l + 1));
    }
    return attributeNames;
}

void RevolvaAudioProcessor::restoreExtraState (const std::vector<juce::String>& texts)
{
    for (int l = 0; l < numLayers; ++l)
    {
        const auto& path = texts[(size_t) (2 * l)];
        if (path.isEmpty())
            continue;
        const float position = getParameter (filepos1Param + l);
        loader.setAppliedPosition (l, position);
        const auto& startText = texts[(size_t) (2 * l + 1)];
        const std::int64_t start =
            startText.containsOnly ("0123456789") && startText.isNotEmpty() ? startText.getLargeIntValue() : -1;
        if (loader.load (l, path.toRawUTF8(), start) == 0)
        {
            // The content comes from the saved start; the restored "filepos" is no new position.
            loader.skipRefillAt (l, position);
            continue;
        }
        reportFileProblem (path, ! juce::File (path).existsAsFile());
        loader.close (l);
        setParameterFromProcessing (file1Param + l, 0.0f);
    }
}

void RevolvaAudioProcessor::reportFileProblem (const juce::String& path, bool missing)
{
    {
        std::lock_guard<std::mutex> lock (problemMutex);
        problem = (missing ? "not found: " : "cannot read: ") + juce::File (path).getFileName();
    }
    problemCount.fetch_add (1, std::memory_order_relaxed);
}

juce::String RevolvaAudioProcessor::fileProblem() const
{
    std::lock_guard<std::mutex> lock (problemMutex);
    return problem;
}

int RevolvaAudioProcessor::loadSoundFile (int layer, const juce::String& path)
{
    return loader.load (layer, path.toRawUTF8());
}

void RevolvaAudioProcessor::closeFile (int layer) { loader.close (layer); }

bool RevolvaAudioProcessor::adoptLoadedLayerIfIdle()
{
    const auto nowMs = juce::Time::getMillisecondCounter();
    const std::int64_t blocks = blocksProcessed.load (std::memory_order_relaxed);
    if (blocks != blocksSeen)
    {
        blocksSeen = blocks;
        blocksSeenAt = nowMs;
        return false;
    }
    // A running host adopts at its next block; only a silent one needs the message thread.
    if (nowMs - blocksSeenAt < 100u || ! loader.hasFinishedWork())
        return false;
    int expected = layersFree;
    if (! layerOwner.compare_exchange_strong (expected, layersAdopting, std::memory_order_acquire))
        return false; // a block has just started; it adopts the layer itself
    const bool adopted = loader.adopt (layers) >= 0;
    layerOwner.store (layersFree, std::memory_order_release);
    return adopted;
}

bool RevolvaAudioProcessor::loadLayerFileNow (int layer, const juce::File& file)
{
    if (layer < 0 || layer >= numLayers || loadSoundFile (layer, file.getFullPathName()) != 0)
        return false;
    return waitForLayerFiles();
}

bool RevolvaAudioProcessor::waitForLayerFiles()
{
    const auto deadline = juce::Time::getMillisecondCounter() + 60000u;
    while (isFileWorkPending())
    {
        // While blocks run, the audio thread adopts the fill; otherwise this thread does.
        adoptLoadedLayerIfIdle();
        if (juce::Time::getMillisecondCounter() > deadline)
            return false;
        juce::Thread::sleep (1);
    }
    return true;
}

void RevolvaAudioProcessor::updateTransformSize() noexcept
{
    const float p = param (bandsParam);
    if (! lastApplied[bandsParam].update (p))
        return;
    const int n = veltrane::transformSizeForBands (p);
    if (n == transform.fftSize)
        return;
    transform.configure (n, veltrane::blackmanWindow);
    for (auto& peak : inputPeak)
        peak.store (0.0f, std::memory_order_relaxed);
    for (auto& peak : outputPeak)
        peak.store (0.0f, std::memory_order_relaxed);
    std::fill (polarIn.begin(), polarIn.end(), 0.0f);
    std::fill (polarOut.begin(), polarOut.end(), 0.0f);
    for (auto& layer : layers)
    {
        layer.leftState.clearArrays();
        layer.rightState.clearArrays();
    }
}

void RevolvaAudioProcessor::layerSettings (int l) noexcept
{
    LoopLayer& layer = layers[l];
    const int gi = gain1Param + l;
    const float g = param (gi);
    if (lastApplied[gi].update (g))
    {
        layer.layerGain = std::pow (10.0f, -4.8f * (1.0f - g));
    }
    const int pi_ = pitch1Param + l;
    const float p = param (pi_);
    if (lastApplied[pi_].update (p))
    {
        const double semis = std::round (((double) p - 0.5) * 72.0);
        // Far outside +-36 the ratio would leave float range; NaN means no transposition.
        const int k = std::isnan (semis) ? 0 : (int) std::max (-1000.0, std::min (1000.0, semis));
        layer.note = k + 60;
        layer.layerPitch = std::exp2 ((float) k * 0.0833333358f);
    }
}

void RevolvaAudioProcessor::recordLayers (const juce::AudioBuffer<float>& buffer, int n) noexcept
{
    int s = -1;
    const std::int64_t b = clampedTrunc (barPosition, INT64_MIN / 2, INT64_MAX / 2);
    const float recordSum = lastApplied[record1Param].value() + lastApplied[record1Param + 1].value()
                            + lastApplied[record1Param + 2].value() + lastApplied[record1Param + 3].value();
    if (b != lastBar && recordSum == 0.0f)
    {
        lastBar = b;
        s = (int) clampedTrunc ((double) n + ((double) b - barPosition) / (double) barsPerSample, -1, n);
    }

    const float* in0 = buffer.getReadPointer (0);
    const float* in1 = stereo == 1 && buffer.getNumChannels() > 1 ? buffer.getReadPointer (1) : nullptr;
    for (int l = 0; l < numLayers; ++l)
    {
        LoopLayer& layer = layers[l];
        const int ri = record1Param + l;
        const float r = param (ri);
        if (lastApplied[ri].update (r))
        {
            if (r > 0.5f)
            {
                layer.writePosition = 0;
                layer.clearPeaks();
            }
            else
                layer.waveDirty.store (1, std::memory_order_relaxed);
        }
        if (! (lastApplied[ri].value() > 0.5f))
            continue;
        for (int i = std::max (s, 0); i < n; ++i)
        {
            const int w = layer.writePosition & LoopLayer::layerMask;
            const float left = in0[i];
            float m = left;
            layer.leftBuffer[w] = left;
            if (in1 != nullptr)
            {
                layer.rightBuffer[w] = in1[i];
                m = (left + in1[i]) * 0.5f;
            }
            auto& peak = layer.peaks[(size_t) peakBin (w)];
            peak.store (raisedPeak (peak.load (std::memory_order_relaxed), m), std::memory_order_relaxed);
            layer.writePosition = w + 1;
            layer.waveDirty.store (1, std::memory_order_relaxed);
            if (layer.writePosition >= LoopLayer::layerLength)
            {
                setParameterFromProcessing (ri, 0.0f);
                lastApplied[ri].set (0.0f);
                break;
            }
        }
    }
}

void RevolvaAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    juce::ScopedNoDenormals noDenormals;

    int expected = layersFree;
    if (! layerOwner.compare_exchange_strong (expected, layersInBlock, std::memory_order_acquire))
    {
        // The message thread is swapping a loaded layer in (only ever after processing had
        // stopped for a while): this one block stays silent instead of waiting.
        buffer.clear();
        blocksProcessed.fetch_add (1, std::memory_order_relaxed);
        return;
    }
    processLayers (buffer, midi);
    blocksProcessed.fetch_add (1, std::memory_order_relaxed);
    layerOwner.store (layersFree, std::memory_order_release);
}

void RevolvaAudioProcessor::processLayers (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) noexcept
{
    const int n = buffer.getNumSamples();
    const int channels = buffer.getNumChannels();
    loader.adopt (layers);
    if (channels < 1 || n <= 0)
        return;
    if (stateRestored.exchange (false, std::memory_order_relaxed))
        tempoKnown = false;

    const std::int64_t now = sampleClock;
    const double rate = currentSampleRate;

    // MIDI acts at the start of the block.
    handleMidi (midi, now);

    // Output channels beyond the inputs carry nothing.
    for (int c = getTotalNumInputChannels(); c < channels; ++c)
        buffer.clear (c, 0, n);

    // Channel layout and transform size.
    stereo = channels != 1 ? 1 : 0;
    updateTransformSize();

    // Loop regions and file positions.
    for (int l = 0; l < numLayers; ++l)
    {
        LoopLayer& layer = layers[l];
        const int si = start1Param + l, ei = end1Param + l, fi = filepos1Param + l;
        const float sp = param (si), ep = param (ei), fp = param (fi);
        if (lastApplied[si].update (sp))
            layer.startPosition = loopIndex (sp);
        if (lastApplied[ei].update (ep))
            layer.endPosition = loopIndex (ep);
        if (lastApplied[fi].update (fp))
        {
            loader.setAppliedPosition (l, fp);
            loader.requestRefill (l, fp);
        }
    }

    // Gains.
    const float ig = param (ingainParam);
    if (lastApplied[ingainParam].update (ig))
        inputGain = std::pow (10.0f, 2.0f * ig - 1.0f);
    const float og = param (outgainParam);
    if (lastApplied[outgainParam].update (og))
        outputGain = std::pow (10.0f, 2.0f * og - 1.0f);

    // Envelope times.
    const float ap = param (attackParam);
    if (lastApplied[attackParam].update (ap))
    {
        attackSeconds = 4.995f * ap + 0.005f;
        attackStep = (float) (1.0 / ((double) attackSeconds * rate));
    }
    const float rp = param (releaseParam);
    if (lastApplied[releaseParam].update (rp))
    {
        releaseSeconds = 4.995f * rp + 0.005f;
        releaseStep = (float) (-1.0 / ((double) releaseSeconds * rate));
    }

    // Play switches.
    playSwitches (now);

    // Stretch.
    const float st = param (stretchParam);
    if (lastApplied[stretchParam].update (st))
    {
        const float f = (float) std::pow (10.0, 2.0 * (double) st);
        // NaN keeps the factor; the range keeps the hop sizes and loop times finite.
        if (! std::isnan (f))
            stretchFactor = std::max (1.0e-4f, std::min (1.0e6f, f));
    }

    // Tempo, hop sizes and the bar position at the block's start.
    updateTempo();
    updateHops();
    barPosition = beatPosition / (double) beatsPerBar;

    // Input meters (the recording itself is not scaled).
    {
        float peak = inputPeak[0].load (std::memory_order_relaxed);
        const float* x = buffer.getReadPointer (0);
        for (int i = 0; i < n; ++i)
            veltrane::raisePeak (peak, x[i] * inputGain);
        inputPeak[0].store (peak, std::memory_order_relaxed);
        if (channels == 2)
        {
            peak = inputPeak[1].load (std::memory_order_relaxed);
            x = buffer.getReadPointer (1);
            for (int i = 0; i < n; ++i)
                veltrane::raisePeak (peak, x[i] * inputGain);
            inputPeak[1].store (peak, std::memory_order_relaxed);
        }
    }

    // Bar position at the block's end, loop timing, beat clock of the reads.
    barPosition += (double) barsPerSample * (double) n;
    updateLoopTiming();
    hopClock = beatPosition;

    // Recording.
    recordLayers (buffer, n);

    // The output is the sum of the layers.
    float* out0 = buffer.getWritePointer (0);
    float* out1 = stereo == 1 ? buffer.getWritePointer (1) : nullptr;
    std::fill (out0, out0 + n, 0.0f);
    if (out1 != nullptr)
        std::fill (out1, out1 + n, 0.0f);
    for (int l = 0; l < numLayers; ++l)
    {
        layerSettings (l);
        playLayer (l, out0, out1, n);
    }

    // Output meters and clocks.
    {
        float peak = outputPeak[0].load (std::memory_order_relaxed);
        for (int i = 0; i < n; ++i)
            veltrane::raisePeak (peak, out0[i]);
        outputPeak[0].store (peak * veltrane::peakDecay, std::memory_order_relaxed);
        if (channels == 2)
        {
            peak = outputPeak[1].load (std::memory_order_relaxed);
            for (int i = 0; i < n; ++i)
                veltrane::raisePeak (peak, out1[i]);
            outputPeak[1].store (peak * veltrane::peakDecay, std::memory_order_relaxed);
        }
        else
            outputPeak[1].store (outputPeak[1].load (std::memory_order_relaxed) * veltrane::peakDecay,
                                 std::memory_order_relaxed);
        for (int c = 0; c < 2; ++c)
            inputPeak[c].store (inputPeak[c].load (std::memory_order_relaxed) * veltrane::peakDecay,
                                std::memory_order_relaxed);
    }
    sampleClock += n;
    beatPosition += (double) n * (double) beatsPerSample;
}

juce::AudioProcessorEditor* RevolvaAudioProcessor::createEditor() { return new RevolvaAudioProcessorEditor (*this); }
