#pragma once

// Drives a RevolvaAudioProcessor block by block for the processor and kernel tests.

#include "ProcessorRig.h"
#include "RevolvaAudioProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using revolva::ChannelState;
using revolva::LoopLayer;
using revolva::VELSoundFile;

namespace revolvatest
{
constexpr double testRate = 48000.0;

/** The suite's processor rig over a revolva processor at 48 kHz, with revolva's own steps. */
struct Rig
{
    std::unique_ptr<RevolvaAudioProcessor> p = std::make_unique<RevolvaAudioProcessor>();
    veltrane_test::ProcessorRig host;
    juce::AudioBuffer<float>& buffer = host.buffer;
    juce::MidiBuffer& midi = host.midi;

    explicit Rig (int channels = 2, int blockSize = 512)
        : host (*p, channels, blockSize, testRate)
    {
    }

    /** One block of n samples; input(c, i) gives the input at index i of the block, MIDI
        is sent once. */
    void block (int n, const std::function<float (int, int)>& input = {})
    {
        const std::int64_t start = host.time;
        if (input)
            host.block (n, [&] (int c, std::int64_t t) { return input (c, (int) (t - start)); });
        else
            host.block (n);
    }

    void blocks (int count, int n)
    {
        for (int k = 0; k < count; ++k)
            block (n);
    }

    void note (int status, int d1, int d2) { midi.addEvent (juce::MidiMessage (status, d1, d2), 0); }

    /** Runs silent blocks until the file work has reached its layer. */
    bool settleFiles (int maxMillis = 20000)
    {
        const auto start = std::chrono::steady_clock::now();
        block (64); // lets the processing notice parameter changes first
        while (p->isFileWorkPending())
        {
            block (64);
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
            if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds (maxMillis))
                return false;
        }
        block (64);
        return true;
    }

    /** Loop region of a layer in buffer frames, with the parameters' own rounding. */
    void setRegion (int layer, int startFrame, int endFrame)
    {
        p->setParameter (RevolvaAudioProcessor::start1Param + layer,
                         ((float) startFrame + 0.5f) / (float) LoopLayer::layerMask);
        p->setParameter (RevolvaAudioProcessor::end1Param + layer,
                         ((float) endFrame + 0.5f) / (float) LoopLayer::layerMask);
    }
};
} // namespace revolvatest
