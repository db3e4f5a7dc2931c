#include "HostedPlugins.h"
#include "VeltraneProcessor.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace veltrane::testing;

namespace veltrane::testing
{
void PrintTo (const Bundle& b, std::ostream* os) { *os << bundleName (b); }
} // namespace veltrane::testing

namespace
{
class HostLoad : public ::testing::TestWithParam<Bundle>
{
};

/** Parameters that are the plug-in's own: not a bypass the format adds, and not the MIDI
    controller parameters the VST3 wrapper adds to plug-ins that take MIDI. */
int countOwn (juce::AudioProcessor& p)
{
    int n = 0;
    for (auto* param : p.getParameters())
    {
        const auto name = param->getName (100);
        n += (param != p.getBypassParameter() && name != "Bypass" && ! name.startsWith ("MIDI CC ")) ? 1 : 0;
    }
    return n;
}

juce::AudioBuffer<float> noise (int channels, int samples, int seed)
{
    juce::Random r (seed);
    juce::AudioBuffer<float> b (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            b.setSample (c, i, 0.5f * (r.nextFloat() * 2.0f - 1.0f) + 0.3f * std::sin (0.02f * (float) i));
    return b;
}

/** Renders the signal in fixed blocks and returns the output. */
juce::AudioBuffer<float> render (juce::AudioProcessor& p, const juce::AudioBuffer<float>& in, int block)
{
    juce::AudioBuffer<float> out (in);
    juce::MidiBuffer midi;
    for (int start = 0; start < in.getNumSamples(); start += block)
    {
        const int n = std::min (block, in.getNumSamples() - start);
        juce::AudioBuffer<float> view (out.getArrayOfWritePointers(), out.getNumChannels(), start, n);
        p.processBlock (view, midi);
    }
    return out;
}
} // namespace

TEST_P (HostLoad, IdentityParametersLatencyProcessingAndState)
{
    const auto& bundle = GetParam();
    juce::String error;
    auto hosted = load (bundle, 48000.0, 512, error);
    ASSERT_NE (hosted, nullptr) << error;
    auto direct = createDirect (bundle.plugin);
    ASSERT_NE (direct, nullptr);

    EXPECT_EQ (hosted->getName(), direct->getName());
    EXPECT_EQ (hosted->getPluginDescription().manufacturerName, "Veltrane");
    if (bundle.format == "VST3")
    {
        EXPECT_EQ (hosted->getPluginDescription().version, "2.0.2");
    }

    ASSERT_EQ (countOwn (*hosted), direct->getParameters().size());
    const auto params = ownParameters (*hosted, *direct);
    for (int i = 0; i < params.size(); ++i)
    {
        auto* mine = direct->getParameters()[i];
        ASSERT_NE (params[i], nullptr) << mine->getName (100);
        EXPECT_EQ (params[i]->getName (100), mine->getName (100)) << i;
        EXPECT_NEAR (params[i]->getDefaultValue(), mine->getDefaultValue(), 1e-6f) << i;
        // JUCE's LV2 host shows every control at its declared default until the plug-in
        // reports otherwise (checked once audio runs, below).
        if (bundle.format == "VST3")
        {
            EXPECT_NEAR (params[i]->getValue(), mine->getValue(), 1e-6f) << i;
        }
    }

    // The hosted build and the directly linked code give the same samples.
    for (juce::AudioProcessor* p : { (juce::AudioProcessor*) hosted.get(), direct.get() })
    {
        juce::AudioProcessor::BusesLayout stereo;
        stereo.inputBuses.add (juce::AudioChannelSet::stereo());
        stereo.outputBuses.add (juce::AudioChannelSet::stereo());
        ASSERT_TRUE (p->setBusesLayout (stereo));
        p->setRateAndBufferSizeDetails (48000.0, 512);
        p->prepareToPlay (48000.0, 512);
    }
    const auto in = noise (2, 48000, 3);
    const auto fromHost = render (*hosted, in, 512);
    const auto fromDirect = render (*direct, in, 512);
    double maxDiff = 0.0, energy = 0.0;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < in.getNumSamples(); ++i)
        {
            const float h = fromHost.getSample (c, i);
            ASSERT_TRUE (std::isfinite (h));
            maxDiff = std::max (maxDiff, (double) std::abs (h - fromDirect.getSample (c, i)));
            energy += h * h;
        }
    EXPECT_LT (maxDiff, 1e-6);
    // Effects pass sound; a looper with empty layers is silent like its direct twin.
    if (bundle.plugin != "revolva")
    {
        EXPECT_GT (energy, 0.0);
    }
    // The plug-in announces its values from its message thread; LV2 carries them out
    // with the next block. The host then reads the values the plug-in uses, including
    // construction values that differ from the declared defaults.
    pumpMessages (150);
    render (*hosted, noise (2, 512, 5), 512);
    render (*direct, noise (2, 512, 5), 512);
    for (int i = 0; i < params.size(); ++i)
        EXPECT_NEAR (params[i]->getValue(), direct->getParameters()[i]->getValue(), 1e-6f)
            << direct->getParameters()[i]->getName (100);

    // LV2 reports latency through a control port that is read as audio runs.
    EXPECT_EQ (hosted->getLatencySamples(), dynamic_cast<veltrane::VeltraneProcessor&> (*direct).getReportedLatency());

    // State: saved, restored into a fresh instance, saved again.
    params[1]->setValueNotifyingHost (0.25f);
    render (*hosted, noise (2, 512, 4), 512); // some formats hand changes over with audio
    juce::MemoryBlock saved;
    hosted->getStateInformation (saved);
    if (std::getenv ("VELTRANE_DEBUG_STATE"))
        std::cerr << "param value " << params[1]->getValue() << " saved: " << saved.toString() << "\n";
    auto fresh = load (bundle, 48000.0, 512, error);
    ASSERT_NE (fresh, nullptr) << error;
    fresh->setStateInformation (saved.getData(), (int) saved.getSize());
    fresh->prepareToPlay (48000.0, 512);
    render (*fresh, noise (2, 512, 4), 512);
    juce::MemoryBlock again;
    fresh->getStateInformation (again);
    EXPECT_EQ (again, saved);
    // JUCE 7.0.5's LV2 host serialises no plug-in properties into its state string (it saves
    // only the state's subject), so the values can only be compared through the VST3 host;
    // the plug-in's own state bytes are covered by the direct tests.
    if (bundle.format == "VST3")
    {
        const auto freshParams = ownParameters (*fresh, *direct);
        for (int i = 0; i < params.size(); ++i)
            EXPECT_EQ (freshParams[i]->getValue(), params[i]->getValue()) << i;
    }
    hosted->releaseResources();
}

INSTANTIATE_TEST_SUITE_P (Suite, HostLoad, ::testing::ValuesIn (findBundles()),
                          [] (const ::testing::TestParamInfo<Bundle>& p) { return bundleName (p.param); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST (HostLoad);
