// Arbitrary bytes as a saved state: the first byte picks the plug-in, the rest goes to
// setStateInformation. When the restore changed the state, one block is processed (its
// output must be finite while the restored values are in range), and the state the plug-in
// then saves must restore, in another instance, to the same bytes.
#include "FuzzPlugins.h"

#include <cstdio>
#include <cstdlib>

namespace
{
veltrane_fuzz::PluginSet& plugins()
{
    static auto& set = *new veltrane_fuzz::PluginSet; // never destroyed, as above
    return set;
}

veltrane_fuzz::PluginSet& twins()
{
    static auto& set = *new veltrane_fuzz::PluginSet; // never destroyed, as above
    return set;
}

// Far outside 0..1, the plug-ins' own gain formulas give infinite levels, which stay in the
// frames in flight; such states run in instances of their own, whose output is not judged,
// so the judged ones never carry a previous input's infinities.
veltrane_fuzz::PluginSet& outOfRange()
{
    static auto& set = *new veltrane_fuzz::PluginSet; // never destroyed, as above
    return set;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    auto& set = plugins();
    const size_t which = data[0] % set.instances.size();
    auto& processor = *set.instances[which];
    auto& twin = *twins().instances[which];
    // Each input from construction values; the signal paths hold only earlier in-range
    // inputs' (finite) audio.
    set.reset (which);
    twins().reset (which);
    processor.setStateInformation (data + 1, (int) (size - 1));
    // Most inputs are refused whole or change nothing; what such an instance does is what
    // the construction state's seed already showed, so only a changed state is run.
    juce::MemoryBlock restored;
    processor.getStateInformation (restored);
    if (restored == set.initialStates[which])
        return 0;
    const bool inRange = veltrane_fuzz::parametersInRange (processor);
    auto& runner = inRange ? processor : *outOfRange().instances[which];
    if (! inRange)
    {
        outOfRange().reset (which);
        runner.setStateInformation (data + 1, (int) (size - 1));
    }
    runner.prepareToPlay (veltrane_fuzz::sampleRate, veltrane_fuzz::blockSize);

    juce::AudioBuffer<float> buffer (runner.getTotalNumInputChannels(), veltrane_fuzz::blockSize);
    veltrane_fuzz::fillInput (buffer, 0);
    juce::MidiBuffer midi;
    runner.processBlock (buffer, midi);
    if (inRange)
        veltrane_fuzz::requireFinite (buffer, runner.getName().toRawUTF8());

    juce::MemoryBlock saved, again;
    runner.getStateInformation (saved);
    twin.setStateInformation (saved.getData(), (int) saved.getSize());
    twin.getStateInformation (again);
    if (saved != again)
    {
        std::fprintf (stderr, "%s: a saved state does not restore to itself\nsaved:   %.*s\nrestored: %.*s\n",
                      runner.getName().toRawUTF8(), (int) saved.getSize(), (const char*) saved.getData(),
                      (int) again.getSize(), (const char*) again.getData());
        std::abort();
    }
    // A value the processing set itself beyond the range would carry its levels over too.
    if (inRange && ! veltrane_fuzz::parametersInRange (processor))
    {
        set.reset (which);
        for (int b = 0; b < 64; ++b)
        {
            buffer.clear();
            processor.processBlock (buffer, midi);
        }
    }
    return 0;
}
