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
            const juce::File artefacts = juce::File (VELTRANE_BUILD_DIR).getChildFile ("plugins/" + name + "/" + name + "_artefacts/Release");
            vst3 = artefacts.getChildFile ("VST3/" + name + ".vst3");
            lv2 = artefacts.getChildFile ("LV2/" + name + ".lv2");
        }
        if (vst3.isDirectory())
            result.push_back ({ name, "VST3", vst3.getFullPathName().toStdString() });
        if (lv2.isDirectory())
            result.push_back ({ name, "LV2", lv2.getParentDirectory().getFullPathName().toStdString() + "|" + uriBase + name });
    }
    return result;
}

std::unique_ptr<juce::AudioPluginInstance> load (const Bundle& bundle, double rate, int block, juce::String& error)
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
    return format.createInstanceFromDescription (*types[0], rate, block, error);
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
