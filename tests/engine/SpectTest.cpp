#include "Spect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
/** An engine whose frame copies the spectrum and counts the frames it runs. */
struct CountingEngine : spect
{
    CountingEngine()
        : spect (2, false)
    {
        inputGain = 1.0f;
    }
    void processSpect() override
    {
        ++frames;
        spect::processSpect();
    }
    int frames = 0;
};

juce::AudioSampleBuffer makeBuffer (int channels, int samples)
{
    juce::AudioSampleBuffer b (channels, samples);
    b.clear();
    return b;
}
} // namespace

TEST (SpectPipeline, HopSchedulingAcrossBlocks)
{
    CountingEngine e;
    auto b = makeBuffer (2, 1000);
    e.processActual (b);
    EXPECT_EQ (e.frames, 3);
    EXPECT_EQ (e.fifoPosition, 232);

    CountingEngine f;
    auto first = makeBuffer (2, 200);
    f.processActual (first);
    EXPECT_EQ (f.frames, 0);
    auto second = makeBuffer (2, 100);
    f.processActual (second);
    EXPECT_EQ (f.frames, 1);
    EXPECT_EQ (f.fifoPosition, 44);
}

TEST (SpectPipeline, IdentityFrameDelaysAnImpulseByN)
{
    CountingEngine e;
    const int total = 4096, t0 = 700;
    auto b = makeBuffer (2, total);
    b.setSample (0, t0, 1.0f);
    b.setSample (1, t0, 1.0f);
    // Odd block sizes: the schedule must not depend on them.
    for (int start = 0; start < total;)
    {
        const int n = std::min (37, total - start);
        juce::AudioSampleBuffer view (b.getArrayOfWritePointers(), 2, start, n);
        e.processActual (view);
        start += n;
    }
    for (int c = 0; c < 2; ++c)
    {
        int peakAt = 0;
        for (int i = 0; i < total; ++i)
            if (std::abs (b.getSample (c, i)) > std::abs (b.getSample (c, peakAt)))
                peakAt = i;
        EXPECT_EQ (peakAt, t0 + 1024) << c;
    }
}

TEST (SpectPipeline, SteadySineIsReproducedWithUnitGainAtHopPositions)
{
    CountingEngine e;
    const int total = 8192;
    auto b = makeBuffer (1, total);
    std::vector<float> in ((size_t) total);
    for (int i = 0; i < total; ++i)
        in[(size_t) i] = 0.5f * std::sin (0.05f * (float) i);
    std::copy (in.begin(), in.end(), b.getWritePointer (0));
    e.processActual (b);
    // After the fade-in the output is the input N samples earlier; samples on multiples of the
    // hop within a frame have gain exactly 1, the rest carry the overlapped window's ripple.
    for (int i = 3072; i < total; i += 256)
        EXPECT_NEAR (b.getSample (0, i), in[(size_t) (i - 1024)], 2e-4f) << i;
    for (int i = 3000; i < total; ++i)
        EXPECT_NEAR (b.getSample (0, i), in[(size_t) (i - 1024)], 0.05f) << i;
}

TEST (SpectPipeline, MonoBufferLeavesChannelOneUntouched)
{
    CountingEngine e;
    for (int i = 0; i < 16; ++i)
        e.inputFifo[1][i] = 3.0f;
    auto b = makeBuffer (1, 512);
    b.setSample (0, 10, 1.0f);
    e.processActual (b);
    EXPECT_EQ (e.stereo, 0);
    EXPECT_EQ (e.inputFifo[1][5], 3.0f);
    EXPECT_EQ (e.spectrum[1][0], 0.0f);
}

TEST (SpectPipeline, BypassDelaysByOneHop)
{
    CountingEngine e;
    e.setBypass (true);
    auto b = makeBuffer (2, 2048);
    for (int i = 0; i < 2048; ++i)
        b.setSample (0, i, (float) (i % 97) - 48.0f);
    std::vector<float> in (b.getReadPointer (0), b.getReadPointer (0) + 2048);
    e.processActual (b);
    EXPECT_EQ (e.frames, 0);
    for (int i = 256; i < 2048; ++i)
        ASSERT_EQ (b.getSample (0, i), in[(size_t) (i - 256)]) << i;
}

TEST (SpectPipeline, MetersFollowPeaksAndDecayPerHop)
{
    CountingEngine e;
    e.inputGain = 2.0f;
    auto b = makeBuffer (2, 100);
    b.setSample (0, 3, -0.25f);
    b.setSample (1, 4, 0.125f);
    e.processActual (b);
    EXPECT_FLOAT_EQ (e.inputPeak[0].load(), 0.5f);
    EXPECT_FLOAT_EQ (e.inputPeak[1].load(), 0.25f);
    auto rest = makeBuffer (2, 156); // completes the hop: one decay step
    e.processActual (rest);
    EXPECT_FLOAT_EQ (e.inputPeak[0].load(), 0.5f * 0.99112f);
}

TEST (SpectPipeline, SetFFTSizeClearsHistoryAndMetersButNotRotations)
{
    CountingEngine e;
    auto b = makeBuffer (2, 3000);
    for (int i = 0; i < 3000; ++i)
        b.setSample (0, i, std::sin ((float) i));
    e.processActual (b);
    const int rotation = e.analysisRotation[0];
    e.setFFTSize (1024);
    EXPECT_EQ (e.fifoPosition, 0);
    EXPECT_EQ (e.inputPeak[0].load(), 0.0f);
    EXPECT_EQ (e.analysisRotation[0], rotation);
    for (int i = 0; i < spect::maxFFTSize; ++i)
        ASSERT_EQ (e.analysisFrame[0][i], 0.0f);
}
