#include "Spect.h"

#include "PhaseMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using veltrane::RealFft;

spect::spect (int channelCount, bool unityWindowSumIn)
{
    fifoPosition = 0;
    for (int c = 0; c < maxChannels; ++c)
    {
        inputPeak[c].store (0.0f, std::memory_order_relaxed);
        outputPeak[c].store (0.0f, std::memory_order_relaxed);
        analysisRotation[c] = synthesisRotation[c] = 0;
    }
    halfSize = 512;
    fftSize = 1024;
    overlapShift = 2;
    hop = 256;
    inverseHop = 1.0f / 256.0f;
    unityWindowSum = unityWindowSumIn;
    bypass = false;

    allocateMemory();
    log2Size = (int) std::log2 ((float) fftSize);

    pi = 4.0f * std::atan (1.0f);
    twoPi = 8.0f * std::atan (1.0f);
    outputGain = 1.0f;
    windowKind = veltrane::hammingWindow;
    rebuildWindows();

    spect::setBypass (false);
    stereo = channelCount == 2 ? 1 : 0;
}

spect::~spect() { freeMemory(); }

bool spect::allocateMemory()
{
    analysisWindow = RealFft::allocateAligned (maxFFTSize);
    synthesisWindow = RealFft::allocateAligned (maxFFTSize);
    for (int c = 0; c < maxChannels; ++c)
    {
        inputFifo[c] = RealFft::allocateAligned (maxFFTSize);
        outputAccumulator[c] = RealFft::allocateAligned (maxFFTSize);
        analysisFrame[c] = RealFft::allocateAligned (maxFFTSize);
        fftInput[c] = RealFft::allocateAligned (maxFFTSize);
        spectrum[c] = RealFft::allocateAligned (maxFFTSize);
        outputSpectrum[c] = RealFft::allocateAligned (maxFFTSize);
        outputSpectrumCopy[c] = RealFft::allocateAligned (maxFFTSize);
        timeBuffer[c] = RealFft::allocateAligned (maxFFTSize);
    }
    return true;
}

void spect::freeMemory()
{
    auto release = [] (float*& p) {
        RealFft::freeAligned (p);
        p = nullptr;
    };
    release (analysisWindow);
    release (synthesisWindow);
    for (int c = 0; c < maxChannels; ++c)
    {
        release (inputFifo[c]);
        release (outputAccumulator[c]);
        release (analysisFrame[c]);
        release (fftInput[c]);
        release (spectrum[c]);
        release (outputSpectrum[c]);
        release (outputSpectrumCopy[c]);
        release (timeBuffer[c]);
    }
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
    log2Size = (int) std::log2 ((float) n);
    fftSize = 1 << log2Size;
    hop = fftSize >> overlapShift;
    halfSize = fftSize >> 1;
    inverseHop = 1.0f / (float) hop;
    fifoPosition = 0;
    for (int c = 0; c < maxChannels; ++c)
    {
        inputPeak[c].store (0.0f, std::memory_order_relaxed);
        outputPeak[c].store (0.0f, std::memory_order_relaxed);
        for (float* b : { inputFifo[c], outputAccumulator[c], analysisFrame[c], timeBuffer[c], spectrum[c],
                          outputSpectrum[c], outputSpectrumCopy[c] })
            std::memset (b, 0, sizeof (float) * maxFFTSize);
    }
    rebuildWindows();
}

void spect::rebuildWindows()
{
    veltrane::fillWindow (windowKind, analysisWindow, fftSize, twoPi);
    std::memcpy (synthesisWindow, analysisWindow, sizeof (float) * (size_t) fftSize);
    scaleWindows();
}

void spect::initBlackmanWindows()
{
    windowKind = veltrane::blackmanWindow;
    veltrane::fillWindow (windowKind, analysisWindow, fftSize, twoPi);
    std::memcpy (synthesisWindow, analysisWindow, sizeof (float) * (size_t) fftSize);
}

void spect::initKaiserWindows()
{
    windowKind = veltrane::kaiserWindow;
    veltrane::fillWindow (windowKind, analysisWindow, fftSize, twoPi);
    std::memcpy (synthesisWindow, analysisWindow, sizeof (float) * (size_t) fftSize);
}

void spect::scaleWindows()
{
    const int n = fftSize;
    float sum = 0.0f;
    for (int k = 0; k < n; ++k)
        sum += analysisWindow[k];
    const float g = (unityWindowSum ? 1.0f : 2.0f) / sum;
    for (int k = 0; k < n; ++k)
    {
        analysisWindow[k] *= g;
        synthesisWindow[k] *= g;
    }
    float q = 0.0f;
    for (int j = 0; j * hop < n; ++j)
        q += synthesisWindow[j * hop] * synthesisWindow[j * hop];
    const float s = 0.5f / ((float) n * q);
    for (int k = 0; k < n; ++k)
        synthesisWindow[k] *= s;
}

void spect::forwardTransform (const float* alignedInput, float* halfcomplex) noexcept
{
    fft.forward (alignedInput, halfcomplex, log2Size);
}

void spect::inverseTransform (const float* halfcomplex, float* alignedOutput) noexcept
{
    fft.inverse (halfcomplex, alignedOutput, log2Size);
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
                raisePeak (ip, io[i] * inputGain);
            for (int i = 0; i < chunk; ++i)
            {
                const float o = acc[i];
                raisePeak (op, o);
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
                inPeak[c] *= 0.99112f;
                outPeak[c] *= 0.99112f;
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

void spect::shiftAccumulator (int c) noexcept
{
    float* acc = outputAccumulator[c];
    std::memmove (acc, acc + hop, sizeof (float) * (size_t) (fftSize - hop));
    std::memset (acc + fftSize - hop, 0, sizeof (float) * (size_t) hop);
}

void spect::analyseChannel (int c) noexcept
{
    const int n = fftSize;
    const int mask = n - 1;
    float* frame = analysisFrame[c];
    std::memmove (frame, frame + hop, sizeof (float) * (size_t) (n - hop));
    std::memcpy (frame + n - hop, inputFifo[c], sizeof (float) * (size_t) hop);
    float* in = fftInput[c];
    const float* w = analysisWindow;
    const float g = inputGain;
    int r = analysisRotation[c];
    // Two straight runs instead of masking every index.
    const int firstRun = n - r;
    for (int m = 0; m < firstRun; ++m)
        in[r + m] = frame[m] * w[m] * g;
    for (int m = firstRun; m < n; ++m)
        in[m - firstRun] = frame[m] * w[m] * g;
    analysisRotation[c] = r & mask;
    forwardTransform (in, spectrum[c]);
}

void spect::synthesiseChannel (int c) noexcept
{
    const int n = fftSize;
    std::memcpy (outputSpectrumCopy[c], outputSpectrum[c], sizeof (float) * (size_t) n);
    float* t = timeBuffer[c];
    inverseTransform (outputSpectrum[c], t);
    float* acc = outputAccumulator[c];
    const float* w = synthesisWindow;
    const float g = outputGain;
    const int r = synthesisRotation[c];
    const int firstRun = n - r;
    for (int m = 0; m < firstRun; ++m)
        acc[m] += t[r + m] * w[m] * g;
    for (int m = firstRun; m < n; ++m)
        acc[m] += t[m - firstRun] * w[m] * g;
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

void spect::cartToPolar (const float* src, float* dst) const noexcept
{
    const int n = fftSize;
    const int half = n / 2;
    auto convert = [dst] (int k, float x, float y) noexcept {
        // Squares of floats are exact in double, so this is the double-precision magnitude
        // rounded to float, as hypot gives, without hypot's slow overflow handling.
        const float m = (float) std::sqrt ((double) x * (double) x + (double) y * (double) y);
        dst[2 * k] = m;
        dst[2 * k + 1] = -veltrane::atan2Rounded (y, x);
    };
    convert (0, src[0], 0.0f);
    for (int k = 1; k < half; ++k)
        convert (k, src[k], src[n - k]);
    convert (half, src[half], 0.0f);
    // Rare operands the fast path leaves undefined: infinities go to the library, and a
    // magnitude that is not a number has phase 0.
    for (int k = 0; k <= half; ++k)
    {
        const float m = dst[2 * k];
        if (std::isnan (dst[2 * k + 1]) || std::isinf (m))
        {
            const float x = src[k];
            const float y = (k == 0 || k == half) ? 0.0f : src[n - k];
            dst[2 * k + 1] = std::isnan (m) ? 0.0f : -std::atan2 (y, x);
        }
    }
}

namespace
{
/** One bin back to cartesian; counts a phase beyond the fast sine's range. */
inline void binToCart (float m, float ph, float& re, float& im, int& outOfRange) noexcept
{
    float sn, cs;
    veltrane::sinCosRounded (ph, sn, cs);
    outOfRange += std::fabs (ph) <= veltrane::sinCosRoundedLimit ? 0 : 1;
    const bool silent = m == 0.0f || m != m;
    re = silent ? 0.0f : m * cs;
    im = silent ? 0.0f : -(m * sn);
}
} // namespace

void spect::polarToCart (const float* src, float* dst) const noexcept
{
    const int n = fftSize;
    const int half = n / 2;
    int outOfRange = 0;
    float unused;
    binToCart (src[0], src[1], dst[0], unused, outOfRange);
    for (int k = 1; k < half; ++k)
    {
        float re, im;
        binToCart (src[2 * k], src[2 * k + 1], re, im, outOfRange);
        dst[k] = re;
        dst[n - k] = im;
    }
    binToCart (src[2 * half], src[2 * half + 1], dst[half], unused, outOfRange);
    const bool needLibrary = outOfRange > 0;
    if (! needLibrary)
        return;
    // Huge or non-finite phases, which only hostile parameter values produce.
    for (int k = 0; k <= half; ++k)
    {
        const float m = src[2 * k];
        const float ph = src[2 * k + 1];
        if (std::fabs (ph) <= veltrane::sinCosRoundedLimit || m == 0.0f || std::isnan (m))
            continue;
        dst[k] = m * std::cos (ph);
        if (k != 0 && k != half)
            dst[n - k] = -(m * std::sin (ph));
    }
}
