#include "Spect.h"

#include "PeakMeter.h"
#include "PolarConversion.h"
#include "RotatedFrames.h"

#include <cstring>
#include <initializer_list>

using veltrane::RealFft;

spect::spect (int channelCount, bool unityWindowSumIn)
    : veltrane::ShortTimeTransform (unityWindowSumIn)
{
    for (int c = 0; c < maxChannels; ++c)
    {
        inputPeak[c].store (0.0f, std::memory_order_relaxed);
        outputPeak[c].store (0.0f, std::memory_order_relaxed);
        inputFifo[c] = RealFft::allocateAligned (maxFFTSize);
        outputAccumulator[c] = RealFft::allocateAligned (maxFFTSize);
        analysisFrame[c] = RealFft::allocateAligned (maxFFTSize);
    }
    spect::setBypass (false);
    stereo = channelCount == 2 ? 1 : 0;
}

spect::~spect()
{
    for (int c = 0; c < maxChannels; ++c)
        for (float* b : { inputFifo[c], outputAccumulator[c], analysisFrame[c] })
            RealFft::freeAligned (b);
}

bool spect::setBypass (bool b)
{
    bypass = b;
    return b;
}

void spect::updateFFT() {}

void spect::processSpect()
{
    // The engine's own hook passes the spectrum through unchanged.
    for (int c = 0; c <= stereo; ++c)
        std::memcpy (outputSpectrum[c], spectrum[c], sizeof (float) * (size_t) fftSize);
}

void spect::setFFTSize (int n)
{
    veltrane::ShortTimeTransform::setFFTSize (n);
    fifoPosition = 0;
    for (int c = 0; c < maxChannels; ++c)
    {
        inputPeak[c].store (0.0f, std::memory_order_relaxed);
        outputPeak[c].store (0.0f, std::memory_order_relaxed);
        for (float* b : { inputFifo[c], outputAccumulator[c], analysisFrame[c] })
            std::memset (b, 0, sizeof (float) * maxFFTSize);
    }
}

void spect::processActual (juce::AudioSampleBuffer& buffer)
{
    const int channels = buffer.getNumChannels();
    int remaining = buffer.getNumSamples();
    if (channels < 1 || remaining <= 0)
        return;
    float* ptr[2];
    ptr[0] = buffer.getWritePointer (0);
    ptr[1] = channels != 1 ? buffer.getWritePointer (1) : ptr[0];
    stereo = channels != 1 ? 1 : 0;

    float inPeak[2], outPeak[2];
    for (int c = 0; c < 2; ++c)
    {
        inPeak[c] = inputPeak[c].load (std::memory_order_relaxed);
        outPeak[c] = outputPeak[c].load (std::memory_order_relaxed);
    }

    while (remaining > 0)
    {
        const int p = fifoPosition;
        const int chunk = p + remaining < hop ? remaining : hop - p;
        for (int c = 0; c <= stereo; ++c)
        {
            float* io = ptr[c];
            float* fifo = inputFifo[c] + p;
            const float* acc = outputAccumulator[c] + p;
            std::memcpy (fifo, io, sizeof (float) * (size_t) chunk);
            float ip = inPeak[c], op = outPeak[c];
            for (int i = 0; i < chunk; ++i)
                veltrane::raisePeak (ip, io[i] * inputGain);
            for (int i = 0; i < chunk; ++i)
            {
                const float o = acc[i];
                veltrane::raisePeak (op, o);
                io[i] = o;
            }
            inPeak[c] = ip;
            outPeak[c] = op;
        }

        fifoPosition += chunk;
        if (fifoPosition >= hop)
        {
            fifoPosition = 0;
            if (bypass)
            {
                for (int c = 0; c <= stereo; ++c)
                    std::memcpy (outputAccumulator[c], inputFifo[c], sizeof (float) * (size_t) hop);
            }
            else
            {
                // The frame may reconfigure the engine (and clear the meters), so hand the
                // running peaks over first and pick them up again afterwards.
                for (int c = 0; c < 2; ++c)
                {
                    inputPeak[c].store (inPeak[c], std::memory_order_relaxed);
                    outputPeak[c].store (outPeak[c], std::memory_order_relaxed);
                }
                processFFTBlock();
                for (int c = 0; c < 2; ++c)
                {
                    inPeak[c] = inputPeak[c].load (std::memory_order_relaxed);
                    outPeak[c] = outputPeak[c].load (std::memory_order_relaxed);
                }
            }
            for (int c = 0; c < 2; ++c)
            {
                inPeak[c] *= veltrane::peakDecay;
                outPeak[c] *= veltrane::peakDecay;
            }
        }
        ptr[0] += chunk;
        ptr[1] += chunk;
        remaining -= chunk;
    }

    for (int c = 0; c < 2; ++c)
    {
        inputPeak[c].store (inPeak[c], std::memory_order_relaxed);
        outputPeak[c].store (outPeak[c], std::memory_order_relaxed);
    }
}

void spect::shiftAccumulator (int c) noexcept { veltrane::advanceByHop (outputAccumulator[c], fftSize, hop); }

void spect::analyseChannel (int c) noexcept
{
    const int n = fftSize;
    float* frame = analysisFrame[c];
    std::memmove (frame, frame + hop, sizeof (float) * (size_t) (n - hop));
    std::memcpy (frame + n - hop, inputFifo[c], sizeof (float) * (size_t) hop);
    veltrane::windowRotated (frame, analysisWindow, inputGain, analysisRotation[c], n, fftInput[c]);
    forwardTransform (fftInput[c], spectrum[c]);
}

void spect::synthesiseChannel (int c) noexcept
{
    inverseTransform (outputSpectrum[c], timeBuffer[c]);
    veltrane::overlapAddRotated (timeBuffer[c], synthesisWindow, outputGain, synthesisRotation[c], fftSize,
                                 outputAccumulator[c]);
}

void spect::advanceRotations() noexcept
{
    const int mask = fftSize - 1;
    for (int c = 0; c < maxChannels; ++c)
    {
        analysisRotation[c] = (analysisRotation[c] + hop) & mask;
        synthesisRotation[c] = (synthesisRotation[c] + hop) & mask;
    }
}

void spect::processFFTBlock()
{
    updateFFT();
    advanceRotations();
    for (int c = 0; c <= stereo; ++c)
        shiftAccumulator (c);
    for (int c = 0; c <= stereo; ++c)
        analyseChannel (c);
    processSpect();
    for (int c = 0; c <= stereo; ++c)
        synthesiseChannel (c);
}

void spect::cartToPolar (const float* src, float* dst) const noexcept { veltrane::toPolarPairs (src, fftSize, dst); }

void spect::polarToCart (const float* src, float* dst) const noexcept { veltrane::fromPolarPairs (src, fftSize, dst); }
