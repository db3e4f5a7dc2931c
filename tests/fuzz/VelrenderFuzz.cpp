// The renderer's two inputs from outside: with an even first byte, the rest is a command line
// (arguments separated by zero bytes) for the option parser; with an odd one, it is a MIDI
// file rendered through tonalith or revolva over a short input.
#include "RenderOptions.h"
#include "Renderer.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_events/juce_events.h>

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace
{
juce::File scratch (const char* suffix)
{
    const char* dir = std::getenv ("TMPDIR");
    const juce::File folder (dir != nullptr && *dir == '/' ? dir : "/tmp");
    return folder.getChildFile ("veltrane-fuzz-" + juce::String ((int) getpid()) + suffix);
}

/** A tenth of a second of a stereo tone, written once. */
const juce::File& shortInput()
{
    static const juce::File file = [] {
        const juce::File f = scratch ("-in.wav");
        juce::AudioBuffer<float> tone (2, 4800);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < tone.getNumSamples(); ++i)
                tone.setSample (c, i, 0.25f * std::sin (0.0576f * (float) i));
        f.deleteFile();
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (
            wav.createWriterFor (new juce::FileOutputStream (f), 48000.0, 2, 24, {}, 0));
        writer->writeFromAudioSampleBuffer (tone, 0, tone.getNumSamples());
        return f;
    }();
    return file;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // Never shut down: the fuzzer ends by exit(), after JUCE's own statics are gone.
    static auto* juce = new juce::ScopedJuceInitialiser_GUI;
    (void) juce;
    if (size < 1)
        return 0;
    if (data[0] % 2 == 0)
    {
        std::vector<std::string> bytes;
        const char* text = reinterpret_cast<const char*> (data + 1);
        size_t start = 0;
        for (size_t k = 0; k <= size - 1; ++k)
            if (k == size - 1 || text[k] == '\0')
            {
                bytes.emplace_back (text + start, k - start);
                start = k + 1;
            }
        juce::String error;
        const auto args = velrender::argumentsFromBytes (bytes, error);
        if (! args)
            return 0;
        const auto options = velrender::parseOptions (*args, error);
        if (! options && error.isEmpty())
        {
            std::fprintf (stderr, "a refused command line gave no message\n");
            std::abort();
        }
        return 0;
    }
    const juce::File midi = scratch (".mid");
    const juce::File output = scratch ("-out.wav");
    midi.replaceWithData (data + 1, size - 1);
    juce::String error;
    const auto options =
        velrender::parseOptions ({ data[0] % 4 == 1 ? "tonalith" : "revolva", "--midi", midi.getFullPathName(),
                                   shortInput().getFullPathName(), output.getFullPathName() },
                                 error);
    std::ostringstream out, err;
    velrender::run (*options, out, err);
    midi.deleteFile();
    output.deleteFile();
    return 0;
}
