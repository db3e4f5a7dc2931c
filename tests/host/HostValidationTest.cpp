// What real hosts do to a plug-in, done to every installed bundle of the suite through
// JUCE's own VST3 and LV2 hosting: lifecycles, every common rate and block size, mono and
// stereo, wild parameter values and automation from another thread, state round trips and
// bad state, allocation on the audio thread, reported latency, and host tempo.
#include "AllocationCounter.h"
#include "HostedPlugins.h"
#include "LayerFileTarget.h"
#include "TestDisplay.h"
#include "VeltraneProcessor.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

using namespace veltrane::testing;

namespace veltrane::testing
{
void PrintTo (const Bundle& b, std::ostream* os) { *os << bundleName (b); }
} // namespace veltrane::testing

namespace
{
enum class Signal
{
    silence,
    noise,
    impulses,
    sweep
};

void fill (juce::AudioBuffer<float>& b, Signal s, juce::int64 start, double rate, juce::Random& random)
{
    for (int c = 0; c < b.getNumChannels(); ++c)
        for (int i = 0; i < b.getNumSamples(); ++i)
        {
            const auto t = (double) (start + i);
            float v = 0.0f;
            switch (s)
            {
                case Signal::silence:
                    v = 0.0f;
                    break;
                case Signal::noise:
                    v = random.nextFloat() * 2.0f - 1.0f;
                    break;
                case Signal::impulses:
                    v = ((start + i) % 4000) == 0 ? 1.0f : 0.0f;
                    break;
                case Signal::sweep:
                    v = 0.5f * (float) std::sin (2.0 * M_PI * (20.0 + t * 0.05) * t / rate);
                    break;
            }
            b.setSample (c, i, v);
        }
}

bool configure (juce::AudioProcessor& p, int channels, double rate, int block)
{
    p.releaseResources();
    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    if (! p.setBusesLayout (layout))
        return false;
    p.setRateAndBufferSizeDetails (rate, block);
    p.prepareToPlay (rate, block);
    return true;
}

/** Processes `total` samples in blocks; false on the first non-finite output sample. */
bool process (juce::AudioProcessor& p, int channels, int block, int total, Signal s, double rate, juce::Random& random)
{
    juce::AudioBuffer<float> buffer (channels, block);
    juce::MidiBuffer midi;
    for (juce::int64 start = 0; start < total; start += block)
    {
        fill (buffer, s, start, rate, random);
        p.processBlock (buffer, midi);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < block; ++i)
                if (! std::isfinite (buffer.getSample (c, i)))
                    return false;
    }
    return true;
}

class HostValidation : public ::testing::TestWithParam<Bundle>
{
protected:
    std::unique_ptr<juce::AudioPluginInstance> load (double rate = 48000.0, int block = 512)
    {
        juce::String error;
        auto p = veltrane::testing::load (GetParam(), rate, block, error);
        EXPECT_NE (p, nullptr) << error;
        return p;
    }
};
} // namespace

TEST_P (HostValidation, InstantiatesRepeatedlyAndOpensItsEditor)
{
    prepareDisplayForWindows(); // before any plug-in: loading one may open the display
    for (int i = 0; i < 4; ++i)
    {
        auto p = load();
        ASSERT_NE (p, nullptr);
        ASSERT_TRUE (configure (*p, 2, 48000.0, 256));
        juce::Random random (i);
        EXPECT_TRUE (process (*p, 2, 256, 4096, Signal::noise, 48000.0, random));
        p->releaseResources();
    }
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "no display: the editor is opened in the xvfb run of tools/test.sh";
    prepareDisplayForWindows();
    auto p = load();
    ASSERT_NE (p, nullptr);
    EXPECT_TRUE (p->hasEditor());
    for (int i = 0; i < 2; ++i)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (p->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        EXPECT_GT (editor->getWidth(), 100);
        EXPECT_GT (editor->getHeight(), 100);
        {
            juce::DocumentWindow window ("host", juce::Colours::black, 0);
            window.setContentNonOwned (editor.get(), true);
            window.setVisible (true);
            pumpMessages (150);
            window.clearContentComponent();
        }
        // What the window's last events queued for the editor runs before it goes.
        drainMessages (2000);
        editor.reset();
        pumpMessages (50);
    }
}

TEST_P (HostValidation, LibraryStaysLoadedAfterItsLastInstance)
{
    // An LV2 host unloads the library with the last instance; the next instance would load
    // it again and plan every transform anew.
    if (GetParam().format != "LV2")
        GTEST_SKIP() << "VST3 hosts keep a module loaded themselves";
    const std::string library = "/lib" + GetParam().plugin + ".so";
    auto mapped = [&library] {
        return juce::File ("/proc/self/maps").loadFileAsString().contains (juce::String (library));
    };
    {
        auto p = load();
        ASSERT_NE (p, nullptr);
        EXPECT_TRUE (mapped());
    }
    EXPECT_TRUE (mapped()) << library << " was unloaded with its last instance";
    auto again = load();
    ASSERT_NE (again, nullptr);
    juce::Random random (3);
    EXPECT_TRUE (process (*again, 2, 512, 4096, Signal::noise, 48000.0, random));
}

TEST_P (HostValidation, EveryRateBlockSizeLayoutAndSignalGivesFiniteOutput)
{
    auto p = load();
    ASSERT_NE (p, nullptr);
    juce::Random random (1);
    for (double rate : { 44100.0, 48000.0, 96000.0, 192000.0 })
        for (int block : { 1, 7, 64, 512, 1024, 4096 })
            for (int channels : { 1, 2 })
            {
                // LV2 ports are fixed in the bundle's description: stereo only there.
                if (channels == 1 && GetParam().format == "LV2")
                    continue;
                ASSERT_TRUE (configure (*p, channels, rate, block)) << channels << " channels";
                for (auto s : { Signal::silence, Signal::noise, Signal::impulses, Signal::sweep })
                    ASSERT_TRUE (process (*p, channels, block, std::max (block * 2, 6000), s, rate, random))
                        << "rate " << rate << " block " << block << " channels " << channels << " signal " << (int) s;
            }
    p->releaseResources();
}

TEST_P (HostValidation, WildParameterValuesWhileProcessing)
{
    auto p = load();
    ASSERT_NE (p, nullptr);
    ASSERT_TRUE (configure (*p, 2, 48000.0, 512));
    juce::Random random (2);
    const float specials[] = { 0.0f, 1.0f, -0.5f, 1.5f, 7.0f, -3.0f, 0.5f };
    for (int round = 0; round < 40; ++round)
    {
        for (auto* param : p->getParameters())
            param->setValue (round % 3 == 0 ? specials[(size_t) random.nextInt (7)] : random.nextFloat());
        ASSERT_TRUE (process (*p, 2, 512, 1024, Signal::noise, 48000.0, random)) << "round " << round;
    }

    // The same code linked directly takes any float a restored state can hold; afterwards,
    // back at the construction values, the output is clean again.
    auto direct = createDirect (GetParam().plugin);
    ASSERT_TRUE (configure (*direct, 2, 48000.0, 512));
    const float wild[] = {
        -3.0f, 1.5f, 1e30f, -1e30f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()
    };
    std::vector<float> initial;
    for (auto* param : direct->getParameters())
        initial.push_back (param->getValue());
    for (float w : wild)
    {
        for (auto* param : direct->getParameters())
            param->setValue (w);
        process (*direct, 2, 512, 4096, Signal::noise, 48000.0, random);
    }
    for (size_t i = 0; i < initial.size(); ++i)
        direct->getParameters()[(int) i]->setValue (initial[i]);
    process (*direct, 2, 512, 96000, Signal::noise, 48000.0, random);
    EXPECT_TRUE (process (*direct, 2, 512, 8192, Signal::noise, 48000.0, random));
}

TEST_P (HostValidation, AutomationFromAnotherThreadWhileAudioRuns_Threads)
{
    auto p = load();
    ASSERT_NE (p, nullptr);
    ASSERT_TRUE (configure (*p, 2, 48000.0, 256));
    std::atomic<bool> done { false };
    std::thread automation ([&] {
        juce::Random random (3);
        const auto& params = p->getParameters();
        while (! done.load())
        {
            params[random.nextInt (params.size())]->setValueNotifyingHost (random.nextFloat());
            std::this_thread::sleep_for (std::chrono::microseconds (200));
        }
    });
    juce::Random random (4);
    const bool finite = process (*p, 2, 256, 48000, Signal::sweep, 48000.0, random);
    done = true;
    automation.join();
    EXPECT_TRUE (finite);
    p->releaseResources();
}

TEST_P (HostValidation, StateRoundTripsAndBadBlobsAreIgnored)
{
    auto p = load();
    ASSERT_NE (p, nullptr);
    ASSERT_TRUE (configure (*p, 2, 48000.0, 512));
    auto direct = createDirect (GetParam().plugin);
    const auto params = ownParameters (*p, *direct);
    juce::Random random (5);
    for (auto* param : params)
        param->setValueNotifyingHost (random.nextFloat());
    process (*p, 2, 512, 1024, Signal::noise, 48000.0, random);
    juce::MemoryBlock saved;
    p->getStateInformation (saved);

    auto fresh = load();
    ASSERT_NE (fresh, nullptr);
    fresh->setStateInformation (saved.getData(), (int) saved.getSize());
    ASSERT_TRUE (configure (*fresh, 2, 48000.0, 512));
    process (*fresh, 2, 512, 1024, Signal::noise, 48000.0, random);
    juce::MemoryBlock again;
    fresh->getStateInformation (again);
    EXPECT_EQ (again, saved);
    if (auto values = pluginValuesFromHostState (*fresh, GetParam().plugin))
    {
        auto before = pluginValuesFromHostState (*p, GetParam().plugin);
        ASSERT_TRUE (before.has_value());
        EXPECT_EQ (*values, *before);
    }

    // Garbage, truncated and foreign blobs: no crash, and the plug-in keeps working.
    std::vector<juce::MemoryBlock> bad;
    juce::MemoryBlock garbage (3000);
    for (size_t i = 0; i < garbage.getSize(); ++i)
        garbage[i] = (char) random.nextInt (256);
    bad.push_back (garbage);
    bad.emplace_back (saved.getData(), saved.getSize() / 2);
    bad.emplace_back (saved.getData(), 5);
    bad.emplace_back();
    for (auto& other : veltrane::testing::findBundles())
        if (other.plugin != GetParam().plugin && other.format == GetParam().format)
        {
            juce::String error;
            if (auto foreign = veltrane::testing::load (other, 48000.0, 512, error))
            {
                juce::MemoryBlock b;
                foreign->getStateInformation (b);
                bad.push_back (b);
            }
            break;
        }
    for (auto& b : bad)
    {
        fresh->setStateInformation (b.getData(), (int) b.getSize());
        EXPECT_TRUE (process (*fresh, 2, 512, 2048, Signal::noise, 48000.0, random));
    }
}

TEST_P (HostValidation, ProcessBlockAllocatesNothingOncePrepared)
{
    if (! AllocationCounter::available())
        GTEST_SKIP() << "allocations are not counted in sanitizer builds";
    auto p = load();
    ASSERT_NE (p, nullptr);
    for (int channels : { 2, 1 })
    {
        if (channels == 1 && GetParam().format == "LV2")
            continue; // fixed stereo ports
        ASSERT_TRUE (configure (*p, channels, 48000.0, 512));
        juce::AudioBuffer<float> buffer (channels, 512);
        juce::MidiBuffer midi;
        juce::Random random (6);
        fill (buffer, Signal::noise, 0, 48000.0, random);
        p->processBlock (buffer, midi); // the first block may settle the host's own caches
        std::size_t total = 0;
        for (int i = 0; i < 200; ++i)
        {
            fill (buffer, i % 2 ? Signal::noise : Signal::sweep, i * 512, 48000.0, random);
            AllocationCounter counter;
            p->processBlock (buffer, midi);
            total += counter.count();
        }
        EXPECT_EQ (total, 0u) << channels << " channels";
    }
    p->releaseResources();
}

TEST_P (HostValidation, ReportedLatencyMatchesTheDelayOfAnImpulse)
{
    // Only plug-ins whose default path is an identity delayed by their transform size.
    if (GetParam().plugin != "quorrel")
        GTEST_SKIP() << "its default path is not a delayed identity";
    auto p = load();
    ASSERT_NE (p, nullptr);
    ASSERT_TRUE (configure (*p, 2, 48000.0, 100));
    juce::AudioBuffer<float> buffer (2, 100);
    juce::MidiBuffer midi;
    const int impulseAt = 3333;
    int peakAt = -1;
    float peak = 0.0f;
    for (int start = 0; start < 12000; start += 100)
    {
        buffer.clear();
        if (impulseAt >= start && impulseAt < start + 100)
            buffer.setSample (0, impulseAt - start, 1.0f);
        p->processBlock (buffer, midi);
        for (int i = 0; i < 100; ++i)
            if (std::abs (buffer.getSample (0, i)) > peak)
            {
                peak = std::abs (buffer.getSample (0, i));
                peakAt = start + i;
            }
    }
    EXPECT_EQ (peakAt - impulseAt, p->getLatencySamples());
    EXPECT_GT (p->getLatencySamples(), 0);
}

namespace
{
class TempoPlayHead : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override
    {
        if (bpm <= 0.0)
            return {};
        PositionInfo info;
        info.setBpm (bpm);
        info.setIsPlaying (true);
        info.setTimeInSamples (position);
        info.setTimeSignature (TimeSignature { 4, 4 });
        return info;
    }
    double bpm = 120.0;
    juce::int64 position = 0;
};
} // namespace

TEST_P (HostValidation, FollowsTheHostTempoAndKeepsTheLastOne)
{
    struct Follower
    {
        const char* plugin;
        const char* lockName;
        const char* followName;
        float (*expected) (double bpm);
    };
    const Follower followers[] = {
        { "durafold", "tempolock", "rate",
          [] (double bpm) { return (float) ((std::log10 (bpm / 60.0) + 0.60206) * 0.830482); } },
        { "revolva", "bpmlock", "bpm",
          [] (double bpm) { return (std::log2 ((float) (bpm * 0.01666666753590107) * 60.0f) - 4.9068904f) * 0.25f; } },
    };
    const Follower* follower = nullptr;
    for (auto& f : followers)
        if (GetParam().plugin == f.plugin)
            follower = &f;
    if (follower == nullptr)
        GTEST_SKIP() << "does not follow the host tempo";

    auto p = load();
    ASSERT_NE (p, nullptr);
    auto direct = createDirect (GetParam().plugin);
    const auto params = ownParameters (*p, *direct);
    int lockIndex = -1, followIndex = -1;
    for (int i = 0; i < params.size(); ++i)
    {
        if (direct->getParameters()[i]->getName (100) == follower->lockName)
            lockIndex = i;
        if (direct->getParameters()[i]->getName (100) == follower->followName)
            followIndex = i;
    }
    ASSERT_GE (lockIndex, 0);
    ASSERT_GE (followIndex, 0);
    params[lockIndex]->setValueNotifyingHost (1.0f);
    direct->getParameters()[lockIndex]->setValue (1.0f);
    TempoPlayHead head;
    p->setPlayHead (&head);
    direct->setPlayHead (&head);
    ASSERT_TRUE (configure (*p, 2, 48000.0, 512));
    ASSERT_TRUE (configure (*direct, 2, 48000.0, 512));

    // Where the host's state carries the plug-in's values (VST3) the followed parameter is
    // read back; where it does not (JUCE's LV2 host), the hosted output must equal that of
    // the same code linked directly and given the same play head.
    const bool readable = pluginValuesFromHostState (*p, GetParam().plugin).has_value();
    auto followed = [&] { return (*pluginValuesFromHostState (*p, GetParam().plugin))[(size_t) followIndex]; };
    juce::AudioBuffer<float> hostBlock (2, 512), directBlock (2, 512);
    juce::MidiBuffer midi;
    juce::Random random (7);
    double maxDiff = 0.0;
    for (double bpm : { 120.0, 90.0, 174.0, 0.0 }) // 0: blocks without a tempo keep the last one
    {
        head.bpm = bpm;
        for (int block = 0; block < 16; ++block)
        {
            // Halfway, the host's message thread runs: the plug-in announces what it changed
            // (LV2 carries the announcement out with the following blocks).
            if (block == 8)
                pumpMessages (150);
            fill (hostBlock, Signal::noise, head.position, 48000.0, random);
            directBlock.makeCopyOf (hostBlock);
            p->processBlock (hostBlock, midi);
            direct->processBlock (directBlock, midi);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 512; ++i)
                    maxDiff = std::max (maxDiff,
                                        (double) std::abs (hostBlock.getSample (c, i) - directBlock.getSample (c, i)));
            head.position += 512;
        }
        const double expectedBpm = bpm > 0.0 ? bpm : 174.0;
        if (readable)
        {
            EXPECT_NEAR (followed(), follower->expected (expectedBpm), 1e-6f) << bpm;
        }
        // The host's own parameter object reads the value the plug-in uses.
        EXPECT_NEAR (params[followIndex]->getValue(), follower->expected (expectedBpm), 1e-6f) << bpm;
        EXPECT_NEAR (direct->getParameters()[followIndex]->getValue(), follower->expected (expectedBpm), 1e-6f) << bpm;
    }
    EXPECT_LT (maxDiff, 1e-6);
    p->setPlayHead (nullptr);
    p->releaseResources();
}

// Allocation is checked on every path a session takes, not only in steady processing: size
// changes, each plug-in's mode switches, notes and bends, tempo-lock changes, recording, loop
// changes and a loaded layer taken over, blocks longer than prepared, and the first blocks
// after preparing at a new rate. Every counted block is one the host hands over with audio.
TEST_P (HostValidation, EveryPathOfASessionAllocatesNothing)
{
    if (! AllocationCounter::available())
        GTEST_SKIP() << "allocations are not counted in sanitizer builds";
    const auto& plugin = GetParam().plugin;
    auto p = load();
    ASSERT_NE (p, nullptr);
    auto direct = createDirect (plugin);
    const auto params = ownParameters (*p, *direct);
    auto indexOf = [&] (const juce::String& name) {
        for (int i = 0; i < params.size(); ++i)
            if (direct->getParameters()[i]->getName (100) == name)
                return i;
        ADD_FAILURE() << "no parameter " << name;
        return 0;
    };
    auto set = [&] (int index, float value) { params[index]->setValueNotifyingHost (value); };
    TempoPlayHead head;
    p->setPlayHead (&head);
    ASSERT_TRUE (configure (*p, 2, 48000.0, 512));
    juce::Random random (8);
    std::map<std::string, std::size_t> allocations;
    // Only the plug-in's own allocations count: JUCE's hosting code, which stands in for the
    // host here, regrows lists of its own after the plug-in reports a change.
    const std::string bundleLibrary = plugin + (GetParam().format == "VST3" ? ".vst3/" : ".lv2/");
    // blocks of `size` samples with the given MIDI in each; all of them counted under `path`
    auto run = [&] (const std::string& path, int blocks, int size, const juce::MidiBuffer& midi) {
        juce::AudioBuffer<float> buffer (2, size);
        for (int b = 0; b < blocks; ++b)
        {
            fill (buffer, Signal::noise, head.position, 48000.0, random);
            juce::MidiBuffer events (midi);
            std::size_t count = 0;
            {
                AllocationCounter counter (bundleLibrary.c_str());
                p->processBlock (buffer, events);
                count = counter.count();
            }
            allocations[path] += count;
            head.position += size;
        }
    };
    const juce::MidiBuffer none;
    // The host's own caches settle in the first blocks, with audio and with MIDI (JUCE's VST3
    // host grows a list of its own on the first block that carries events).
    juce::MidiBuffer controller;
    controller.addEvent (juce::MidiMessage::controllerEvent (1, 1, 64), 0);
    run ("first blocks", 2, 512, none);
    run ("first blocks", 2, 512, controller);
    allocations.clear();

    set (indexOf ("bands"), 0.9f);
    run ("bands change", 8, 512, none);
    set (indexOf ("bands"), 0.3f);
    run ("bands change", 8, 512, none);

    if (plugin == "tonalith")
    {
        set (6, 1.0f); // output mode: sine bank
        run ("mode switch", 8, 512, none);
        set (7, 1.0f); // the sieve
        juce::MidiBuffer notes;
        notes.addEvent (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100), 10);
        notes.addEvent (juce::MidiMessage::noteOn (1, 67, (juce::uint8) 1), 300);
        notes.addEvent (juce::MidiMessage::pitchWheel (1, 12000), 400);
        run ("held notes and bend", 8, 512, notes);
        juce::MidiBuffer offs;
        offs.addEvent (juce::MidiMessage::noteOff (1, 60), 0);
        offs.addEvent (juce::MidiMessage::noteOff (1, 67), 1);
        offs.addEvent (juce::MidiMessage::pitchWheel (1, 8192), 2);
        run ("held notes and bend", 2, 512, offs);
        set (6, 0.0f);
        set (7, 0.0f);
        run ("mode switch", 8, 512, none);
    }
    if (plugin == "durafold")
    {
        set (indexOf ("grainorpvoc"), 1.0f);
        run ("mode switch", 8, 512, none);
        set (indexOf ("tempolock"), 1.0f);
        head.bpm = 90.0;
        run ("tempo lock", 8, 512, none);
        head.bpm = 174.0;
        run ("tempo lock", 8, 512, none);
        set (indexOf ("tempolock"), 0.0f);
        set (indexOf ("grainorpvoc"), 0.0f);
        run ("mode switch", 8, 512, none);
    }
    if (plugin == "revolva")
    {
        set (indexOf ("record1"), 1.0f);
        set (indexOf ("play2"), 1.0f);
        run ("recording", 16, 512, none);
        set (indexOf ("record1"), 0.0f);
        set (indexOf ("play1"), 1.0f);
        set (indexOf ("start1"), 0.25f);
        set (indexOf ("end1"), 0.5f);
        run ("loop changes", 8, 512, none);
        juce::MidiBuffer notes;
        notes.addEvent (juce::MidiMessage::noteOn (1, 64, (juce::uint8) 90), 20);
        notes.addEvent (juce::MidiMessage::pitchWheel (1, 0), 200);
        run ("notes and bend", 4, 512, notes);
        // A layer loaded from a file on the loader thread is taken over between blocks.
        juce::TemporaryFile wav (".wav");
        {
            juce::AudioBuffer<float> tone (2, 48000);
            fill (tone, Signal::sweep, 0, 48000.0, random);
            juce::WavAudioFormat format;
            std::unique_ptr<juce::AudioFormatWriter> writer (
                format.createWriterFor (new juce::FileOutputStream (wav.getFile()), 48000.0, 2, 16, {}, 0));
            ASSERT_NE (writer, nullptr);
            writer->writeFromAudioSampleBuffer (tone, 0, tone.getNumSamples());
        }
        auto* target = dynamic_cast<veltrane::LayerFileTarget*> (direct.get());
        ASSERT_NE (target, nullptr);
        ASSERT_TRUE (target->loadLayerFileNow (2, wav.getFile()));
        juce::MemoryBlock state;
        direct->getStateInformation (state);
        p->setStateInformation (state.getData(), (int) state.getSize());
        run ("a loaded layer taken over", 200, 512, none);
    }

    ASSERT_TRUE (configure (*p, 2, 96000.0, 512));
    run ("first blocks at a new rate", 8, 512, none);

    // A VST3 host that hands over more than it prepared for gets silence, not an overrun of
    // the wrapper's buffers (LV2 hosts guarantee the bound the plug-in requires).
    if (GetParam().format == "VST3")
    {
        juce::AudioBuffer<float> longer (2, 2048);
        juce::MidiBuffer midi;
        fill (longer, Signal::noise, 0, 96000.0, random);
        std::size_t count = 0;
        {
            AllocationCounter counter (bundleLibrary.c_str());
            p->processBlock (longer, midi);
            count = counter.count();
        }
        allocations["a VST3 block longer than prepared"] += count;
        EXPECT_EQ (longer.getMagnitude (0, 2048), 0.0f);
    }
    // The processing itself takes blocks longer than prepared (offline renders do).
    ASSERT_TRUE (configure (*direct, 2, 48000.0, 512));
    {
        juce::AudioBuffer<float> longer (2, 4096);
        juce::MidiBuffer midi;
        for (int b = 0; b < 4; ++b)
        {
            fill (longer, Signal::noise, b * 4096, 48000.0, random);
            std::size_t count = 0;
            {
                AllocationCounter counter;
                direct->processBlock (longer, midi);
                count = counter.count();
            }
            allocations["blocks longer than prepared"] += count;
        }
    }

    for (const auto& [path, count] : allocations)
        EXPECT_EQ (count, 0u) << path;
    p->setPlayHead (nullptr);
    p->releaseResources();
}

INSTANTIATE_TEST_SUITE_P (Installed, HostValidation, ::testing::ValuesIn (findBundles()),
                          [] (const ::testing::TestParamInfo<Bundle>& b) { return bundleName (b.param); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST (HostValidation);
