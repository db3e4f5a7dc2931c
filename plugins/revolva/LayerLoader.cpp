#include "LayerLoader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace revolva
{
LayerLoader::LayerLoader (float* left, float* right)
    : juce::Thread ("revolva file loader"),
      stagingLeft (left),
      stagingRight (right)
{
    for (auto& f : files)
        f = std::make_unique<VELSoundFile>();
    spare = std::make_unique<VELSoundFile>();
    for (auto& skip : skipRefill)
        skip.store (std::numeric_limits<float>::quiet_NaN(), std::memory_order_relaxed);
    block.assign ((size_t) VELSoundFile::framesPerBlock * 2, 0.0f);
    startThread();
}

LayerLoader::~LayerLoader() { stopThread (4000); }

std::int64_t LayerLoader::framePosition (float frames, float fraction, std::int64_t limit) noexcept
{
    // A restored "filepos" can be any float; NaN and negatives start at 0, huge values at the end.
    const float x = frames * fraction;
    if (! (x > 0.0f))
        return 0;
    if (x >= (float) limit)
        return limit;
    return (std::int64_t) x;
}

int LayerLoader::load (int layer, const char* path, std::int64_t startFrame)
{
    if (layer < 0 || layer >= numLayers)
        return -1;
    {
        std::lock_guard<std::mutex> lock (fileMutex);
        if (spare->open (path) != 0)
            return -1;
        std::swap (files[layer], spare);
        spare->close();
        paths[layer] = path;
        fileOpen[layer].store (true, std::memory_order_release);
    }
    {
        std::lock_guard<std::mutex> lock (queueMutex);
        jobs.push_back ({ Job::fillFromLoad, layer, startFrame });
    }
    notify();
    return 0;
}

void LayerLoader::close (int layer)
{
    if (layer < 0 || layer >= numLayers)
        return;
    {
        std::lock_guard<std::mutex> lock (fileMutex);
        fileOpen[layer].store (false, std::memory_order_release);
        files[layer]->close();
        paths[layer].clear();
    }
    {
        std::lock_guard<std::mutex> lock (queueMutex);
        jobs.push_back ({ Job::clear, layer });
    }
    notify();
}

std::string LayerLoader::attachedPath (int layer) const
{
    if (layer < 0 || layer >= numLayers)
        return {};
    std::lock_guard<std::mutex> lock (fileMutex);
    return paths[layer];
}

void LayerLoader::requestRefill (int layer, float position) noexcept
{
    if (! isFileOpen (layer))
        return;
    if (skipRefill[layer].exchange (std::numeric_limits<float>::quiet_NaN(), std::memory_order_relaxed) == position)
        return;
    refillPosition[layer].store (position, std::memory_order_relaxed);
    refillWanted[layer].store (true, std::memory_order_release);
}

bool LayerLoader::busy() const noexcept
{
    if (working.load (std::memory_order_acquire) || readyLayer.load (std::memory_order_acquire) != -1)
        return true;
    for (auto& r : refillWanted)
        if (r.load (std::memory_order_acquire))
            return true;
    std::lock_guard<std::mutex> lock (const_cast<std::mutex&> (queueMutex));
    return ! jobs.empty();
}

int LayerLoader::adopt (LoopLayer* layers) noexcept
{
    int l = readyLayer.load (std::memory_order_acquire);
    // Claimed first, so the loader keeps its hands off the staging buffers until they have
    // been swapped in.
    if (l < 0 || ! readyLayer.compare_exchange_strong (l, claimed, std::memory_order_acq_rel))
        return -1;
    LoopLayer& layer = layers[l];
    std::swap (layer.leftBuffer, stagingLeft);
    std::swap (layer.rightBuffer, stagingRight);
    for (int j = 0; j < LoopLayer::numPeaks; ++j)
        layer.peaks[(size_t) j].store (stagingPeaks[j], std::memory_order_relaxed);
    if (stagingLoaded)
        layer.writePosition = LoopLayer::layerLength;
    layer.waveDirty.store (1, std::memory_order_relaxed);
    readyLayer.store (-1, std::memory_order_release);
    return l;
}

void LayerLoader::publish (int layer, bool loaded)
{
    stagingLoaded = loaded;
    readyLayer.store (layer, std::memory_order_release);
}

void LayerLoader::fill (int layer, std::int64_t position)
{
    VELSoundFile& f = *files[layer];
    f.readPosition = position;
    startOfContent[layer].store (position, std::memory_order_relaxed);
    std::fill (stagingPeaks, stagingPeaks + LoopLayer::numPeaks, 0.0f);
    const size_t need = (size_t) VELSoundFile::framesPerBlock * f.channelCount;
    if (block.size() < need)
        block.assign (need, 0.0f);
    const int channels = (int) f.channelCount;
    const int frames = (int) VELSoundFile::framesPerBlock;
    for (int writePosition = 0; writePosition < LoopLayer::layerLength; writePosition += frames)
    {
        f.ReadFloatBlock (block.data());
        for (int k = 0; k < frames; ++k)
        {
            const int w = writePosition + k;
            const float c0 = block[(size_t) (k * channels)];
            float m = c0;
            stagingLeft[w] = c0;
            stagingRight[w] = c0;
            if (channels >= 2)
            {
                const float c1 = block[(size_t) (k * channels + 1)];
                stagingRight[w] = c1;
                m = (c0 + c1) * 0.5f;
            }
            const int j = peakBin (w);
            stagingPeaks[j] = raisedPeak (stagingPeaks[j], std::fabs (m));
        }
    }
}

void LayerLoader::run()
{
    while (! threadShouldExit())
    {
        // The staging layer belongs to the audio thread until it has been adopted.
        if (readyLayer.load (std::memory_order_acquire) != -1)
        {
            wait (1);
            continue;
        }

        Job job { Job::clear, -1 };
        {
            std::lock_guard<std::mutex> lock (queueMutex);
            if (! jobs.empty())
            {
                job = jobs.front();
                jobs.pop_front();
                working.store (true, std::memory_order_release);
            }
        }
        if (job.layer >= 0)
        {
            if (job.kind == Job::clear)
            {
                std::fill (stagingLeft, stagingLeft + LoopLayer::layerLength, 0.0f);
                std::fill (stagingRight, stagingRight + LoopLayer::layerLength, 0.0f);
                std::fill (stagingPeaks, stagingPeaks + LoopLayer::numPeaks, 0.0f);
                publish (job.layer, false);
            }
            else
            {
                std::lock_guard<std::mutex> lock (fileMutex);
                VELSoundFile& f = *files[job.layer];
                if (f.isOpen)
                {
                    const float p = appliedPosition[job.layer].load (std::memory_order_relaxed);
                    fill (job.layer,
                          job.startFrame >= 0
                              ? std::min (job.startFrame, f.frameCount)
                              : framePosition ((float) (f.frameCount - LoopLayer::layerLength), p, f.frameCount));
                    publish (job.layer, true);
                }
            }
            working.store (false, std::memory_order_release);
            continue;
        }

        bool refilled = false;
        for (int l = 0; l < numLayers && ! refilled; ++l)
        {
            if (! refillWanted[l].load (std::memory_order_acquire))
                continue;
            working.store (true, std::memory_order_release);
            refillWanted[l].store (false, std::memory_order_release);
            std::lock_guard<std::mutex> lock (fileMutex);
            VELSoundFile& f = *files[l];
            if (f.isOpen)
            {
                const float p = refillPosition[l].load (std::memory_order_relaxed);
                fill (l, framePosition ((float) f.frameCount, p, f.frameCount));
                publish (l, true);
            }
            working.store (false, std::memory_order_release);
            refilled = true;
        }
        if (! refilled)
            wait (5);
    }
}
} // namespace revolva
