// Arbitrary MIDI into the plug-ins that take it: the first byte picks tonalith or revolva, the
// rest is a stream of events for up to 16 blocks. Each event is a sample position, a length and
// raw bytes, passed on as a host's wrapper passes them; a data byte first continues the last
// channel message (running status), as a serial MIDI stream does. 0xff ends a block. The
// output of every block, and of a few silent blocks after, must be finite.
#include "FuzzPlugins.h"

#include <cstdio>
#include <cstdlib>

namespace
{
veltrane_fuzz::PluginSet& plugins()
{
    static auto& set = *new veltrane_fuzz::PluginSet ({ "tonalith", "revolva" }); // never destroyed, as above
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
    set.reset (which);
    processor.prepareToPlay (veltrane_fuzz::sampleRate, veltrane_fuzz::blockSize);

    juce::AudioBuffer<float> buffer (processor.getTotalNumInputChannels(), veltrane_fuzz::blockSize);
    juce::MidiBuffer midi;
    std::int64_t time = 0;
    auto process = [&] (bool withInput) {
        if (withInput)
            veltrane_fuzz::fillInput (buffer, time);
        else
            buffer.clear();
        processor.processBlock (buffer, midi);
        veltrane_fuzz::requireFinite (buffer, processor.getName().toRawUTF8());
        midi.clear();
        time += veltrane_fuzz::blockSize;
    };

    std::uint8_t status = 0;
    int blocks = 0;
    size_t i = 1;
    while (i < size && blocks < 16)
    {
        const std::uint8_t head = data[i++];
        if (head == 0xff || i >= size)
        {
            process (true);
            ++blocks;
            continue;
        }
        const int position = head % veltrane_fuzz::blockSize;
        const size_t wanted = 1 + data[i++] % 8;
        const size_t length = std::min (wanted, size - i);
        std::uint8_t event[9];
        size_t n = 0;
        if (length > 0 && data[i] < 0x80 && status != 0)
            event[n++] = status;
        for (size_t k = 0; k < length; ++k)
            event[n++] = data[i + k];
        i += length;
        if (n == 0)
            continue;
        if (event[0] >= 0x80 && event[0] < 0xf0)
            status = event[0];
        else if (event[0] >= 0xf0 && event[0] < 0xf8)
            status = 0; // system common messages cancel running status; real-time ones don't
        midi.addEvent (event, (int) n, position);
    }
    process (true);
    for (int b = 0; b < 4; ++b)
        process (false);
    return 0;
}
