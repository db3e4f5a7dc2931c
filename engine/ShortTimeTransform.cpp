#include "ShortTimeTransform.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace veltrane
{
ShortTimeTransform::ShortTimeTransform (bool unityWindowSumIn)
    : unityWindowSum (unityWindowSumIn)
{
    analysisWindow = RealFft::allocateAligned (maxFFTSize);
    synthesisWindow = RealFft::allocateAligned (maxFFTSize);
    for (int c = 0; c < maxChannels; ++c)
    {
        fftInput[c] = RealFft::allocateAligned (maxFFTSize);
        spectrum[c] = RealFft::allocateAligned (maxFFTSize);
        outputSpectrum[c] = RealFft::allocateAligned (maxFFTSize);
        timeBuffer[c] = RealFft::allocateAligned (maxFFTSize);
    }
    pi = 4.0f * std::atan (1.0f);
    twoPi = 8.0f * std::atan (1.0f);
    rebuildWindows();
}

ShortTimeTransform::~ShortTimeTransform()
{
    RealFft::freeAligned (analysisWindow);
    RealFft::freeAligned (synthesisWindow);
    for (int c = 0; c < maxChannels; ++c)
        for (float* b : { fftInput[c], spectrum[c], outputSpectrum[c], timeBuffer[c] })
            RealFft::freeAligned (b);
}

void ShortTimeTransform::setFFTSize (int n)
{
    log2Size = (int) std::log2 ((float) n);
    fftSize = 1 << log2Size;
    hop = fftSize >> overlapShift;
    halfSize = fftSize >> 1;
    inverseHop = 1.0f / (float) hop;
    for (int c = 0; c < maxChannels; ++c)
        for (float* b : { timeBuffer[c], spectrum[c], outputSpectrum[c] })
            std::memset (b, 0, sizeof (float) * maxFFTSize);
    rebuildWindows();
}

void ShortTimeTransform::configure (int n, int kind)
{
    overlapShift = 3;
    windowKind = kind;
    setFFTSize (n);
}

void ShortTimeTransform::rebuildWindows()
{
    fillWindow (windowKind, analysisWindow, fftSize, twoPi);
    std::memcpy (synthesisWindow, analysisWindow, sizeof (float) * (size_t) fftSize);
    scaleWindows();
}

void ShortTimeTransform::scaleWindows()
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

void ShortTimeTransform::forwardTransform (const float* alignedInput, float* halfcomplex) noexcept
{
    fft.forward (alignedInput, halfcomplex, log2Size);
}

void ShortTimeTransform::inverseTransform (const float* halfcomplex, float* alignedOutput) noexcept
{
    fft.inverse (halfcomplex, alignedOutput, log2Size);
}
} // namespace veltrane
