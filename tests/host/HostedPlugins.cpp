#include "HostedPlugins.h"

#include "PluginRegistry.h"

#include <cstdlib>

namespace veltrane::testing
{
namespace
{
const char* uriBase = "https://veltrane.invalid/plugins/";

juce::File root()
{
    if (const char* prefix = std::getenv ("VELTRANE_PLUGIN_PREFIX"))
        return juce::File (prefix);
    return {};
}

juce::AudioPluginFormat& formatFor (const std::string& name)
{
    // One format object per process: the LV2 world scans its paths once.
    static juce::VST3PluginFormat vst3;
    static juce::LV2PluginFormat lv2;
    if (name == "VST3")
        return vst3;
    return lv2;
}
} // namespace

std::vector<Bundle> findBundles()
{
    std::vector<Bundle> result;
    for (auto& entry : veltrane::registeredPlugins())
    {
        const std::string name = entry.name;
        juce::File vst3, lv2;
        if (root() != juce::File())
        {
            vst3 = root().getChildFile ("lib/vst3/" + name + ".vst3");
            lv2 = root().getChildFile ("lib/lv2/" + name + ".lv2");
        }
        else
        {
            const juce::File artefacts =
                juce::File (VELTRANE_BUILD_DIR)
                    .getChildFile ("plugins/" + name + "/" + name + "_artefacts/" VELTRANE_BUILD_CONFIG);
            vst3 = artefacts.getChildFile ("VST3/" + name + ".vst3");
            lv2 = artefacts.getChildFile ("LV2/" + name + ".lv2");
        }
        if (vst3.isDirectory())
            result.push_back ({ name, "VST3", vst3.getFullPathName().toStdString() });
        if (lv2.isDirectory())
            result.push_back (
                { name, "LV2", lv2.getParentDirectory().getFullPathName().toStdString() + "|" + uriBase + name });
    }
    return result;
}

std::unique_ptr<juce::PluginDescription> describe (const Bundle& bundle, juce::String& error)
{
    auto& format = formatFor (bundle.format);
    juce::String identifier = bundle.location;
    if (bundle.format == "LV2")
    {
        const auto parts = juce::StringArray::fromTokens (bundle.location, "|", "");
        static juce::StringArray scanned;
        if (! scanned.contains (parts[0]))
        {
            format.searchPathsForPlugins (juce::FileSearchPath (parts[0]), true, false);
            scanned.add (parts[0]);
        }
        identifier = parts[1];
    }
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, identifier);
    if (types.isEmpty())
    {
        error = "no plug-in found in " + identifier;
        return nullptr;
    }
    return std::make_unique<juce::PluginDescription> (*types[0]);
}

std::unique_ptr<juce::AudioPluginInstance> instantiate (const Bundle& bundle,
                                                        const juce::PluginDescription& description, double rate,
                                                        int block, juce::String& error)
{
    return formatFor (bundle.format).createInstanceFromDescription (description, rate, block, error);
}

std::unique_ptr<juce::AudioPluginInstance> load (const Bundle& bundle, double rate, int block, juce::String& error)
{
    const auto description = describe (bundle, error);
    return description != nullptr ? instantiate (bundle, *description, rate, block, error) : nullptr;
}

std::unique_ptr<juce::AudioProcessor> createDirect (const std::string& plugin)
{
    for (auto& entry : veltrane::registeredPlugins())
        if (plugin == entry.name)
            return entry.create();
    return nullptr;
}

std::string bundleName (const Bundle& b) { return b.plugin + "_" + b.format; }
} // namespace veltrane::testing

namespace veltrane::testing
{
std::optional<std::vector<float>> pluginValuesFromHostState (juce::AudioPluginInstance& hosted,
                                                             const std::string& plugin)
{
    juce::MemoryBlock saved;
    hosted.getStateInformation (saved);
    auto xml = juce::AudioProcessor::getXmlFromBinary (saved.getData(), (int) saved.getSize());
    if (xml == nullptr || ! xml->hasTagName ("VST3PluginState"))
        return std::nullopt;
    auto* component = xml->getChildByName ("IComponent");
    if (component == nullptr)
        return std::nullopt;
    juce::MemoryBlock bytes;
    if (! bytes.fromBase64Encoding (component->getAllSubText()))
        return std::nullopt;
    auto direct = createDirect (plugin);
    // A value no state can hold marks parameters the state did not set.
    for (auto* p : direct->getParameters())
        p->setValue (-12345.0f);
    direct->setStateInformation (bytes.getData(), (int) bytes.getSize());
    std::vector<float> values;
    for (auto* p : direct->getParameters())
        values.push_back (p->getValue());
    if (! values.empty() && values[0] == -12345.0f)
        return std::nullopt;
    return values;
}

juce::Array<juce::AudioProcessorParameter*> ownParameters (juce::AudioProcessor& p, juce::AudioProcessor& reference)
{
    juce::Array<juce::AudioProcessorParameter*> result;
    for (auto* mine : reference.getParameters())
    {
        const auto id = dynamic_cast<juce::HostedAudioProcessorParameter*> (mine)->getParameterID();
        juce::AudioProcessorParameter* match = nullptr;
        for (auto* param : p.getParameters())
        {
            auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (param);
            if (param->getName (100) == mine->getName (100)
                && (match == nullptr || (hosted != nullptr && hosted->getParameterID().endsWith (id))))
                match = param;
        }
        result.add (match);
    }
    return result;
}
} // namespace veltrane::testing

namespace juce
{
// The message loop's own single step, as JUCE's Linux plug-in message thread uses it.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace veltrane::testing
{
void pumpMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;
    while (juce::Time::getMillisecondCounter() < end)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
}

void drainMessages (int limitMilliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) limitMilliseconds;
    while (juce::Time::getMillisecondCounter() < end && juce::dispatchNextMessageOnSystemQueue (true))
    {
    }
}
} // namespace veltrane::testing
