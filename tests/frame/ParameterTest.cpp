#include "ParameterInfo.h"
#include "ParameterText.h"
#include "VeltraneProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <memory>
#include <thread>
#include <vector>

using veltrane::Conversion;
using veltrane::ParameterInfo;

namespace
{
const ParameterInfo testTable[] = {
    { "bands", Conversion::exp2, 10.0f, 3.0f, 0.1f, 8.0f, 8192.0f, 512.0f, 0.6f, 0.6f },
    { "shift", Conversion::linear, 100.0f, -50.0f, 0.01f, -50.0f, 50.0f, 0.0f, 0.5f, 0.5f },
    { "unknown", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f },
    { "unknown", Conversion::identity, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.25f, true },
};
const veltrane::PluginIdentity testIdentity { "++test", "test", false, true };

struct TestProcessor : veltrane::VeltraneProcessor
{
    TestProcessor()
        : VeltraneProcessor (testIdentity, testTable, 4)
    {
    }
    void prepareToPlay (double, int) override {}
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override {}
    using juce::AudioProcessor::processBlock;
    juce::AudioProcessorEditor* createEditor() override { return nullptr; }
    /** What a processBlock does when it picks a value itself. */
    void processingSets (int i, float p) noexcept { setParameterFromProcessing (i, p); }
};

/** Records what a host hears: index, value and whether it came on the message thread. */
struct HostEar : juce::AudioProcessorListener
{
    struct Heard
    {
        int index;
        float value;
        bool onMessageThread;
    };
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        heard.push_back ({ index, value, juce::MessageManager::getInstance()->isThisTheMessageThread() });
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    std::vector<Heard> heard;
};
} // namespace

namespace juce
{
// The message loop's own single step (JUCE's Linux message queue).
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

TEST (ParameterText, TwoDecimalsRoundHalfAwayFromZero)
{
    struct Case
    {
        float value;
        const char* text;
    };
    for (auto c : { Case { 512.0f, "512.00" }, Case { -50.0f, "-50.00" }, Case { 0.5f, "0.50" },
                    Case { 0.125f, "0.13" }, Case { -0.125f, "-0.13" }, Case { 0.375f, "0.38" },
                    Case { 724.077f, "724.08" }, Case { 9.995f, "9.99" }, // 9.995f is below 9.995
                    Case { 99.99999f, "100.00" }, Case { 0.0f, "0.00" } })
        EXPECT_EQ (veltrane::formatTwoDecimals (c.value), c.text) << c.value;
}

TEST (ParameterText, StateNumbersIgnoreTheProcessLocale)
{
    std::setlocale (LC_NUMERIC, "de_DE.UTF-8"); // may not exist; the C locale then stays
    EXPECT_EQ (veltrane::formatStateNumber (2.0f), "2");
    EXPECT_EQ (veltrane::formatStateNumber (0.5f), "0.5");
    EXPECT_EQ (veltrane::formatStateNumber (0.0f), "0");
    EXPECT_EQ (veltrane::formatStateNumber (0.6f), "0.60000002384185791016");
    std::setlocale (LC_NUMERIC, "C");
}

TEST (ParameterModel, ConversionsAreUnclampedBothWays)
{
    TestProcessor p;
    EXPECT_FLOAT_EQ (p.getScaledParameter (0), std::exp2 (9.0f));
    // linear a = 100, b = -50: s = 10 gives p = 60 x 0.01.
    p.setScaledParameter (1, 10.0f);
    EXPECT_EQ (p.getParameter (1), 60.0f * 0.01f);
    EXPECT_NEAR (p.getScaledParameter (1), 10.0f, 1e-5f);
    p.setScaledParameter (1, 80.0f); // beyond the maximum
    EXPECT_GT (p.getParameter (1), 1.0f);
    EXPECT_NEAR (p.getScaledParameter (1), 80.0f, 1e-4f);
    p.setScaledParameter (0, 700.0f);
    EXPECT_NEAR (p.getScaledParameter (0), 700.0f, 1e-2f);
    EXPECT_EQ (p.getParameterText (0), "700.00");
}

TEST (ParameterModel, OutOfRangeIndexesAndFallbacks)
{
    TestProcessor p;
    EXPECT_EQ (p.getNumParameters(), 4);
    EXPECT_EQ (p.getParameter (4), 0.0f);
    EXPECT_EQ (p.getParameter (-1), 0.0f);
    p.setParameter (4, 0.5f);
    p.setParameter (-1, 0.5f);
    EXPECT_EQ (p.getParameter (4), 0.0f);
    EXPECT_EQ (p.getParameterName (4), "unknown");
    EXPECT_EQ (p.getParameterMin (9), 0.0f);
    EXPECT_EQ (p.getParameterMax (9), 1.0f);
    EXPECT_EQ (p.getParameterDefault (9), 0.0f);
    EXPECT_EQ (p.getParameterDefaultValue (9), 0.0f);
    EXPECT_EQ (p.getParameterMin (0), 8.0f);
    EXPECT_EQ (p.getParameterMax (0), 8192.0f);
    EXPECT_EQ (p.getParameterDefault (0), 512.0f);
    EXPECT_FALSE (p.isMetaParameter (0));
    EXPECT_TRUE (p.isMetaParameter (3));
}

TEST (ParameterModel, HostObjectsShareTheStoredValueAndHaveUniqueIds)
{
    TestProcessor p;
    auto& params = p.getParameters();
    ASSERT_EQ (params.size(), 4);
    params[1]->setValue (1.5f); // a host or restored state may go beyond 1
    EXPECT_EQ (p.getParameter (1), 1.5f);
    p.setParameter (0, 0.65f);
    EXPECT_EQ (params[0]->getValue(), 0.65f);
    EXPECT_EQ (params[0]->getText (0.65f, 100), "724.08");
    EXPECT_EQ (params[0]->getName (100), "bands");
    EXPECT_FLOAT_EQ (params[0]->getDefaultValue(), 0.6f);
    juce::StringArray ids;
    for (auto* q : params)
        ids.add (dynamic_cast<juce::HostedAudioProcessorParameter*> (q)->getParameterID());
    EXPECT_EQ (ids.joinIntoString (","), "bands,shift,unknown2,unknown3");
}

TEST (ParameterModel, FixedAnswers)
{
    TestProcessor p;
    EXPECT_EQ (p.getName(), "++test");
    EXPECT_EQ (p.getNumPrograms(), 1);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    EXPECT_EQ (p.getTailLengthSeconds(), 0.0);
    EXPECT_EQ (p.getInputChannelName (1), "2");
    EXPECT_EQ (p.getProgramName (0), "");
    p.changeProgramName (0, "warm");
    EXPECT_EQ (p.getProgramName (0), "warm");
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (juce::AudioChannelSet::mono());
    layout.outputBuses.add (juce::AudioChannelSet::stereo());
    EXPECT_FALSE (p.isBusesLayoutSupported (layout));
    layout.outputBuses.getReference (0) = juce::AudioChannelSet::mono();
    EXPECT_TRUE (p.isBusesLayoutSupported (layout));
}

TEST (ParameterModel, LatencyReportsReachTheHostFromTheMessageThread)
{
    TestProcessor p;
    p.reportLatency (2048);
    EXPECT_EQ (p.getReportedLatency(), 2048);
    p.publishPendingLatency();
    EXPECT_EQ (p.getLatencySamples(), 2048);
}

TEST (ParameterModel, ValuesTheProcessingSetsReachTheHostOnceFromTheMessageThread)
{
    TestProcessor p;
    HostEar ear;
    p.addListener (&ear);

    // A burst from the audio thread: many values for one index, one for another, and a
    // value equal to the stored one, which is no change.
    std::thread audio ([&p] {
        for (int k = 1; k <= 100; ++k)
            p.processingSets (1, 0.01f * (float) k);
        p.processingSets (0, 0.125f);
        p.processingSets (3, 0.25f);
    });
    audio.join();
    EXPECT_TRUE (ear.heard.empty()); // nothing is said on the audio thread
    EXPECT_FLOAT_EQ (p.getParameter (1), 1.0f);

    // The processor's own timer announces each changed value once, with its latest value.
    const auto end = juce::Time::getMillisecondCounter() + 1000u;
    while (ear.heard.size() < 2 && juce::Time::getMillisecondCounter() < end)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    ASSERT_EQ (ear.heard.size(), 2u);
    EXPECT_EQ (ear.heard[0].index, 0);
    EXPECT_FLOAT_EQ (ear.heard[0].value, 0.125f);
    EXPECT_EQ (ear.heard[1].index, 1);
    EXPECT_FLOAT_EQ (ear.heard[1].value, 1.0f);
    for (auto& h : ear.heard)
        EXPECT_TRUE (h.onMessageThread);
    p.publishChangedParameters();
    EXPECT_EQ (ear.heard.size(), 2u);

    // Restoring a state is the host's own act: it is not announced back to a VST3 host.
    juce::MemoryBlock state;
    p.getStateInformation (state);
    p.setStateInformation (state.getData(), (int) state.getSize());
    p.publishChangedParameters();
    EXPECT_EQ (ear.heard.size(), 2u);
    p.removeListener (&ear);
}

TEST (ParameterModel, LV2HostsHearEveryValueOnceRunningAndAfterStateRestore)
{
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_LV2);
    TestProcessor p;
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    HostEar ear;
    p.addListener (&ear);
    // Told once a host runs it (JUCE's LV2 wrapper calls setNonRealtime from every run).
    p.publishChangedParameters();
    EXPECT_TRUE (ear.heard.empty());
    p.setNonRealtime (false);
    p.publishChangedParameters();
    ASSERT_EQ (ear.heard.size(), 4u);
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ (ear.heard[(size_t) i].index, i);
        EXPECT_FLOAT_EQ (ear.heard[(size_t) i].value, testTable[i].initial) << i;
    }

    TestProcessor source;
    source.setParameter (1, 0.75f);
    juce::MemoryBlock state;
    source.getStateInformation (state);
    ear.heard.clear();
    p.setStateInformation (state.getData(), (int) state.getSize());
    p.publishChangedParameters();
    ASSERT_EQ (ear.heard.size(), 4u);
    EXPECT_FLOAT_EQ (ear.heard[1].value, 0.75f);

    // Bad state changes nothing and announces nothing.
    ear.heard.clear();
    p.setStateInformation ("junk", 4);
    p.publishChangedParameters();
    EXPECT_TRUE (ear.heard.empty());
    p.removeListener (&ear);
}

namespace
{
/** A processor whose tick uses a member that its constructor builds slowly. */
struct SlowlyBuilt : TestProcessor
{
    explicit SlowlyBuilt (std::atomic<bool>& tickedEarly)
        : early (tickedEarly)
    {
        juce::Thread::sleep (300); // several timer periods while the members are not built
        built.store (true);
        beginMessageThreadTicks();
    }
    ~SlowlyBuilt() override { endMessageThreadTicks(); }
    void messageThreadTick() override
    {
        if (! built.load())
            early.store (true);
    }
    std::atomic<bool> built { false };
    std::atomic<bool>& early;
};
} // namespace

TEST (ParameterModel, TheTickWaitsForTheDerivedConstructor)
{
    // Hosts construct on their own thread while the plug-in's message thread runs timers.
    std::atomic<bool> early { false }, done { false };
    std::unique_ptr<SlowlyBuilt> p;
    std::thread host ([&] {
        p = std::make_unique<SlowlyBuilt> (early);
        done.store (true);
    });
    while (! done.load())
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    host.join();
    EXPECT_FALSE (early.load());
    p.reset();
}
