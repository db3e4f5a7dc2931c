#include "PluginRegistry.h"
#include "RenderOptions.h"
#include "Renderer.h"
#include "SoxFiles.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <sndfile.h>

#include <sstream>
#include <vector>

namespace
{
struct Result
{
    int status;
    std::string out, err;
};

Result runVelrender (const juce::StringArray& args)
{
    juce::String error;
    auto options = velrender::parseOptions (args, error);
    if (! options)
        return { 2, {}, error.toStdString() };
    std::ostringstream out, err;
    const int status = velrender::run (*options, out, err);
    return { status, out.str(), err.str() };
}

/** Every sample of a sound file as libsndfile reads it, interleaved; empty if unreadable. */
std::vector<float> samplesOf (const juce::String& file, int* channels = nullptr)
{
    SF_INFO info {};
    SNDFILE* f = sf_open (file.toRawUTF8(), SFM_READ, &info);
    if (f == nullptr)
        return {};
    std::vector<float> all ((size_t) (info.frames * info.channels));
    const auto got = sf_readf_float (f, all.data(), info.frames);
    sf_close (f);
    all.resize ((size_t) (got * info.channels));
    if (channels != nullptr)
        *channels = info.channels;
    return all;
}

class Velrender : public ::testing::Test
{
protected:
    juce::TemporaryFile dir;
    juce::File folder;
    void SetUp() override
    {
        folder = dir.getFile();
        folder.createDirectory();
    }
    void TearDown() override { folder.deleteRecursively(); }
    juce::String path (const char* name) const { return folder.getChildFile (name).getFullPathName(); }

    std::unique_ptr<juce::AudioFormatReader> read (const juce::String& file) const
    {
        juce::AudioFormatManager m;
        m.registerBasicFormats();
        return std::unique_ptr<juce::AudioFormatReader> (m.createReaderFor (juce::File (file)));
    }
};
} // namespace

TEST_F (Velrender, ArgumentErrorsExitWithTwoAndWriteNothing)
{
    const auto out = path ("out.wav");
    struct Case
    {
        juce::StringArray args;
        const char* message;
    };
    const Case cases[] = {
        { { "nosuchplugin", out }, "unknown plug-in" },
        { { "quorrel", "--set", "nosuch=1", out }, "unknown parameter" },
        { { "quorrel", "--set", "bands=lots", out }, "cannot read the value" },
        { { "quorrel", "--set", "bands", out }, "NAME=VALUE" },
        { { "quorrel", "--norm", "99=0.5", out }, "out of range" },
        { { "quorrel", "--block", "0", out }, "--block" },
        { { "quorrel", "--frobnicate", out }, "unknown option" },
        { { "quorrel" }, "no output" },
        { { "quorrel", path ("missing.wav"), out }, "cannot read" },
        { { "quorrel", "--state", path ("missing.state"), out }, "cannot read" },
        { { "quorrel", path ("no/such/dir/out.wav") }, "cannot write" },
        { { "quorrel", "--layer-file", "1=x.wav", out }, "no layers" },
        { { "revolva", "--layer-file", "1e300=x.wav", out }, "layer number" },
    };
    for (auto& c : cases)
    {
        const auto r = runVelrender (c.args);
        EXPECT_EQ (r.status, 2) << c.args.joinIntoString (" ");
        EXPECT_NE (r.err.find (c.message), std::string::npos) << r.err;
        EXPECT_FALSE (juce::File (out).exists()) << c.args.joinIntoString (" ");
    }
}

TEST (VelrenderArguments, BytesThatAreNotUtf8AreRefusedByPosition)
{
    juce::String error;
    const auto good = velrender::argumentsFromBytes ({ "quorrel", "--set", "bands=1024", "caf\xc3\xa9.wav" }, error);
    ASSERT_TRUE (good.has_value());
    EXPECT_EQ ((*good)[3], juce::String (juce::CharPointer_UTF8 ("caf\xc3\xa9.wav")));
    for (const std::string& bad :
         { std::string ("\xf0\x9f"), std::string ("1\xc3"), std::string ("a\0b", 3), std::string ("\xff") })
    {
        EXPECT_FALSE (velrender::argumentsFromBytes ({ "quorrel", "--tempo", bad }, error).has_value());
        EXPECT_TRUE (error.contains ("argument 3")) << error;
    }
}

TEST_F (Velrender, ListShowsEveryParameterWithItsText)
{
    const auto r = runVelrender ({ "quorrel", "--list" });
    ASSERT_EQ (r.status, 0) << r.err;
    EXPECT_NE (r.out.find ("bandshift"), std::string::npos);
    EXPECT_NE (r.out.find ("512.00"), std::string::npos);
}

TEST_F (Velrender, OneRenderPerPlugin)
{
    const auto input = path ("in.wav");
    ASSERT_EQ (runVelrender ({ "quorrel", "--dry", input }).status, 0);
    auto in = read (input);
    ASSERT_NE (in, nullptr);
    EXPECT_EQ (in->sampleRate, 48000.0);
    for (auto& plugin : veltrane::registeredPlugins())
    {
        const auto out = path ((juce::String (plugin.name) + ".wav").toRawUTF8());
        juce::StringArray args { plugin.name, "--tail", "0.5", "--block", "333", input, out };
        const auto r = runVelrender (args);
        ASSERT_EQ (r.status, 0) << plugin.name << ": " << r.err;
        auto reader = read (out);
        ASSERT_NE (reader, nullptr) << plugin.name;
        EXPECT_EQ (reader->numChannels, 2u);
        EXPECT_EQ (reader->lengthInSamples, in->lengthInSamples + 24000) << plugin.name;
        EXPECT_EQ (reader->bitsPerSample, 24u);
    }
}

TEST_F (Velrender, SettingsStateCompensationRateAndFloat)
{
    const auto input = path ("in.wav");
    ASSERT_EQ (runVelrender ({ "quorrel", "--dry", "--rate", "44100", input }).status, 0);
    const auto state = path ("q.state");
    const auto out = path ("shifted.wav");
    auto r = runVelrender ({ "quorrel", "--set", "bandshift=10", "--norm", "5=1", "--save-state", state, "--compensate",
                             "--float", input, out });
    ASSERT_EQ (r.status, 0) << r.err;
    auto reader = read (out);
    ASSERT_NE (reader, nullptr);
    EXPECT_EQ (reader->sampleRate, 44100.0);
    EXPECT_EQ (reader->bitsPerSample, 32u);
    EXPECT_EQ (reader->lengthInSamples, read (input)->lengthInSamples - 1024);

    juce::MemoryBlock saved;
    ASSERT_TRUE (juce::File (state).loadFileAsData (saved));
    const auto text =
        juce::String::fromUTF8 (static_cast<const char*> (saved.getData()) + 8, (int) saved.getSize() - 9);
    EXPECT_TRUE (text.contains ("bandshift=\"0.59999996423721313477\"")) << text; // (10 + 50) x 0.01f
    EXPECT_TRUE (text.contains ("scramble=\"1\"")) << text;

    // A saved state comes back in a later render.
    const auto state2 = path ("q2.state");
    r = runVelrender ({ "quorrel", "--state", state, "--save-state", state2, input, path ("again.wav") });
    ASSERT_EQ (r.status, 0) << r.err;
    juce::MemoryBlock saved2;
    juce::File (state2).loadFileAsData (saved2);
    EXPECT_EQ (saved2, saved);
}

TEST_F (Velrender, MidiFilesAndTempoAreAccepted)
{
    juce::MidiMessageSequence track;
    track.addEvent (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100), 0.0);
    track.addEvent (juce::MidiMessage::noteOff (1, 60), 480.0);
    juce::MidiFile midi;
    midi.setTicksPerQuarterNote (480);
    midi.addTrack (track);
    const auto midiPath = path ("notes.mid");
    {
        juce::FileOutputStream s ((juce::File (midiPath)));
        ASSERT_TRUE (midi.writeTo (s));
    }
    for (auto& plugin : veltrane::registeredPlugins())
    {
        const auto r = runVelrender ({ plugin.name, "--midi", midiPath, "--tempo", "96", path ("m.wav") });
        EXPECT_EQ (r.status, 0) << plugin.name << ": " << r.err;
    }
    const auto bad = path ("bad.mid");
    juce::File (bad).replaceWithText ("not midi");
    EXPECT_EQ (runVelrender ({ "quorrel", "--midi", bad, path ("m2.wav") }).status, 2);
}

TEST_F (Velrender, ReadsWhatLibsndfileReadsAndWritesFlacByTheOutputsExtension)
{
    const auto reference = path ("in.wav"); // the demo signal, 24-bit
    ASSERT_EQ (runVelrender ({ "quorrel", "--dry", reference }).status, 0);
    // What a dry render of the WAVE file writes; a lossless copy of it must give the same.
    ASSERT_EQ (runVelrender ({ "quorrel", "--dry", reference, path ("dry-of-wav.wav") }).status, 0);
    const auto expected = samplesOf (path ("dry-of-wav.wav"));
    ASSERT_FALSE (expected.empty());

    veltrane::testing::SoxFolder sox;
    const std::string ref = reference.toStdString();
    struct Case
    {
        const char* label;
        std::string input;
        bool lossless;
    };
    const std::vector<Case> cases = {
        { "FLAC", sox.convert (ref, "in.flac", ""), true },
        { "IEEE float WAVE", sox.convert (ref, "f.wav", "-e floating-point -b 32"), true },
        { "W64", sox.convert (ref, "in.w64", ""), true },
        { "CAF", sox.convert (ref, "in.caf", ""), true },
        { "Ogg/Vorbis", sox.convert (ref, "in.ogg", ""), false },
        { "MP3", sox.convert (ref, "in.mp3", ""), false },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.label);
        ASSERT_FALSE (c.input.empty()) << "sox is needed (tools/deps.sh installs it)";
        const auto out = path ("dry.wav");
        const auto r = runVelrender ({ "quorrel", "--dry", juce::String (c.input), out });
        ASSERT_EQ (r.status, 0) << r.err;
        const auto got = samplesOf (out);
        if (c.lossless)
        {
            EXPECT_TRUE (got == expected);
        }
        else
        {
            EXPECT_NEAR ((double) got.size(), (double) expected.size(), 2.0 * 2400.0);
        }
    }

    // FLAC out, chosen by the extension: the same 24-bit samples as the WAVE output.
    ASSERT_EQ (runVelrender ({ "durafold", reference, path ("out.wav") }).status, 0);
    ASSERT_EQ (runVelrender ({ "durafold", reference, path ("out.FLAC") }).status, 0);
    int channels = 0;
    const auto flac = samplesOf (path ("out.FLAC"), &channels);
    EXPECT_EQ (channels, 2);
    EXPECT_FALSE (flac.empty());
    EXPECT_TRUE (flac == samplesOf (path ("out.wav")));
    SF_INFO info {};
    SNDFILE* f = sf_open (path ("out.FLAC").toRawUTF8(), SFM_READ, &info);
    ASSERT_NE (f, nullptr);
    sf_close (f);
    EXPECT_EQ (info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);

    // FLAC has no float samples; a damaged file is refused; neither writes anything.
    auto r = runVelrender ({ "quorrel", "--float", reference, path ("x.flac") });
    EXPECT_EQ (r.status, 2);
    EXPECT_NE (r.err.find ("--float"), std::string::npos) << r.err;
    EXPECT_FALSE (juce::File (path ("x.flac")).exists());
    const juce::File damaged (path ("damaged.flac"));
    damaged.replaceWithText ("fLaC and then nothing a decoder wants");
    r = runVelrender ({ "quorrel", damaged.getFullPathName(), path ("y.wav") });
    EXPECT_EQ (r.status, 2);
    EXPECT_NE (r.err.find ("cannot read"), std::string::npos) << r.err;
    EXPECT_FALSE (juce::File (path ("y.wav")).exists());
}

TEST_F (Velrender, ALayerFileComesBackThroughASavedState)
{
    // The generated test signal as a layer file; the saved state alone plays it again.
    const auto layerFile = path ("layer.wav");
    ASSERT_EQ (runVelrender ({ "quorrel", "--dry", layerFile }).status, 0);
    const auto state = path ("r.state");
    auto r = runVelrender ({ "revolva", "--layer-file", "1=" + layerFile, "--set", "play1=1", "--save-state", state,
                             "--float", path ("first.wav") });
    ASSERT_EQ (r.status, 0) << r.err;
    r = runVelrender ({ "revolva", "--state", state, "--float", path ("again.wav") });
    ASSERT_EQ (r.status, 0) << r.err;
    const auto first = samplesOf (path ("first.wav")), again = samplesOf (path ("again.wav"));
    ASSERT_FALSE (first.empty());
    EXPECT_EQ (again, first);

    // The file moved away: the render still runs, says so, and the layer is silent.
    ASSERT_TRUE (juce::File (layerFile).moveFileTo (juce::File (path ("moved.wav"))));
    r = runVelrender ({ "revolva", "--state", state, "--float", path ("without.wav") });
    ASSERT_EQ (r.status, 0) << r.err;
    EXPECT_NE (r.err.find ("not found: layer.wav"), std::string::npos) << r.err;
    for (float v : samplesOf (path ("without.wav")))
        ASSERT_EQ (v, 0.0f);
}
