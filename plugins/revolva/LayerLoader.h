#pragma once

#include "LoopLayer.h"
#include "VELSoundFile.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace revolva
{
/** Reads sound files into layers away from the audio thread. Loading, clearing and the
    file-position refill fill one staging layer (two channels of 524288 frames and the
    picture) on a background thread; the audio thread adopts it between blocks by
    swapping buffer pointers, without waiting and without file input. */
class LayerLoader : private juce::Thread
{
public:
    static constexpr int numLayers = 4;

    /** stagingLeft/Right: a spare pair of layerLength buffers the loader fills first. */
    LayerLoader (float* stagingLeft, float* stagingRight);
    ~LayerLoader() override;

    // Message thread.
    /** Attaches and identifies the file now; 0 when accepted (the fill follows in the
        background, from the frame the applied "filepos" gives, or from startFrame when it
        is not negative), -1 when it cannot be opened or is refused (the layer keeps what it
        had). */
    int load (int layer, const char* path, std::int64_t startFrame = -1);
    /** Detaches the layer's file and queues the clearing of its audio and picture. */
    void close (int layer);
    /** The file frame the layer's content starts at (any thread). */
    std::int64_t contentStart (int layer) const noexcept
    {
        return startOfContent[layer].load (std::memory_order_relaxed);
    }
    /** The next refill request for exactly this "filepos" is not a change (a restored state
        whose file is already being read from its saved start). Any thread. */
    void skipRefillAt (int layer, float position) noexcept
    {
        skipRefill[layer].store (position, std::memory_order_relaxed);
    }
    /** The path of the file attached to a layer; empty when none is (a recorded or clear
        layer). Message thread, or any thread that does not run at the same time as load. */
    std::string attachedPath (int layer) const;

    // Audio thread, wait-free.
    /** Asks for a refill from frameCount x position, when the layer's file is open. */
    void requestRefill (int layer, float position) noexcept;
    /** The "filepos" value the processing last applied; a load starts from it. */
    void setAppliedPosition (int layer, float position) noexcept
    {
        appliedPosition[layer].store (position, std::memory_order_relaxed);
    }
    bool isFileOpen (int layer) const noexcept { return fileOpen[layer].load (std::memory_order_acquire); }
    /** Swaps a finished fill into its layer; returns the layer or -1 when none waits.
        Called by whichever thread owns the layers at the time (the audio thread in a
        block, or the message thread while no blocks run); never by two at once. */
    int adopt (LoopLayer* layers) noexcept;

    /** True when a fill or clearing waits to be adopted; any thread. */
    bool hasFinishedWork() const noexcept { return readyLayer.load (std::memory_order_acquire) >= 0; }
    /** True while anything is queued, being read or waiting to be adopted. */
    bool busy() const noexcept;
    /** The reader of a layer; only for inspection while the loader is idle. */
    const VELSoundFile& soundFile (int layer) const { return *files[layer]; }

private:
    struct Job
    {
        enum Kind
        {
            fillFromLoad,
            clear
        } kind;
        int layer;
        std::int64_t startFrame = -1; // -1: from the applied "filepos"
    };

    void run() override;
    void fill (int layer, std::int64_t position);
    void publish (int layer, bool loaded);
    static std::int64_t framePosition (float frames, float fraction, std::int64_t limit) noexcept;

    std::unique_ptr<VELSoundFile> files[numLayers];
    std::string paths[numLayers]; // the attached files' paths, under fileMutex
    std::unique_ptr<VELSoundFile> spare;
    mutable std::mutex fileMutex; // message thread and loader thread only

    std::mutex queueMutex; // message thread and loader thread only
    std::deque<Job> jobs;
    std::atomic<bool> working { false };

    std::atomic<bool> fileOpen[numLayers] {};
    std::atomic<float> appliedPosition[numLayers] {};
    std::atomic<float> refillPosition[numLayers] {};
    std::atomic<bool> refillWanted[numLayers] {};
    std::atomic<float> skipRefill[numLayers] {};
    std::atomic<std::int64_t> startOfContent[numLayers] {};

    // Staging: owned by the loader while readyLayer is -1, by the adopting thread otherwise.
    float* stagingLeft;
    float* stagingRight;
    float stagingPeaks[LoopLayer::numPeaks] {};
    bool stagingLoaded = false;        // a fill (sets writePosition) rather than a clearing
    static constexpr int claimed = -2; // being adopted
    std::atomic<int> readyLayer { -1 };
    std::vector<float> block; // one block of the file, channelCount x 8192
};
} // namespace revolva
