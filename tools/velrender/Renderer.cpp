#include "Renderer.h"

#include "DemoSignal.h"
#include "LayerFileTarget.h"
#include "PluginRegistry.h"
#include "SoundFiles.h"
#include "VeltraneProcessor.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <chrono>
#include <ostream>

namespace velrender
{
namespace
{
struct Failure
{
    juce::String message;
};

/** A play head that reports a fixed tempo and a running transport. */
class FixedTempoPlayHead : public juce::AudioPlayHead
{
public:
    explicit FixedTempoPlayHead (double bpmIn)
        : bpm (bpmIn)
    {
    }
    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setBpm (bpm);
        info.setIsPlaying (true);
        info.setTimeInSamples (samplePosition);
        info.setTimeSignature (TimeSignature { 4, 4 });
        return info;
    }
    double bpm;
    juce::int64 samplePosition = 0;
};

int resolveParameter (veltrane::VeltraneProcessor& p, const juce::String& name)
{
    const int count = p.getNumParameters();
    if (name.containsOnly ("0123456789"))
    {
        const int index = name.getIntValue();
        if (index >= 0 && index < count)
            return index;
        throw Failure { "parameter index " + name + " is out of range (0.." + juce::String (count - 1) + ")" };
    }
    int found = -1;
    for (int i = 0; i < count; ++i)
        if (p.getParameterName (i) == name)
        {
            if (found >= 0)
                throw Failure { "parameter name \"" + name + "\" is used by indexes " + juce::String (found) + " and "
                                + juce::String (i) + "; name it by its index" };
            found = i;
        }
    if (found < 0)
        throw Failure { "unknown parameter \"" + name + "\" (see --list)" };
    return found;
}

void listParameters (veltrane::VeltraneProcessor& p, std::ostream& out)
{
    out << "index  name           min        max        default    value\n";
    for (int i = 0; i < p.getNumParameters(); ++i)
        out << juce::String (i).paddedLeft (' ', 5) << "  " << p.getParameterName (i).paddedRight (' ', 13) << "  "
            << juce::String (p.getParameterMin (i), 2).paddedRight (' ', 9) << "  "
            << juce::String (p.getParameterMax (i), 2).paddedRight (' ', 9) << "  "
            << juce::String (p.getParameterDefault (i), 2).paddedRight (' ', 9) << "  " << p.getParameterText (i)
            << "\n";
}

juce::AudioBuffer<float> readInput (const RenderOptions& o, double& rate)
{
    if (o.input.isEmpty())
    {
        rate = 48000.0;
        return makeDemoSignal (rate);
    }
    const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile (o.input);
    if (! file.existsAsFile())
        throw Failure { "cannot read " + o.input + ": no such file" };
    juce::AudioBuffer<float> b;
    juce::String error;
    // Every format libsndfile reads; JUCE's own WAVE and AIFF readers for what it does not.
    const auto library = readWithLibrary (file, b, rate, error);
    if (library == LibraryRead::failed)
        throw Failure { "cannot read " + o.input + ": " + error };
    if (library == LibraryRead::notReadable)
    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
        if (reader == nullptr)
            throw Failure { "cannot read " + o.input + ": not a sound file this program reads" };
        if (reader->lengthInSamples > (juce::int64) 1 << 31 || reader->numChannels < 1)
            throw Failure { "cannot read " + o.input + ": unsupported length or channel count" };
        const int channels = juce::jmin (2, (int) reader->numChannels);
        b.setSize (channels, (int) reader->lengthInSamples);
        if (! reader->read (&b, 0, (int) reader->lengthInSamples, 0, true, channels > 1))
            throw Failure { "cannot read " + o.input + ": the file is damaged" };
        rate = reader->sampleRate;
    }
    if (! (rate >= 1000.0 && rate <= 768000.0))
        throw Failure { "cannot read " + o.input + ": implausible sample rate" };
    return b;
}

juce::AudioBuffer<float> resample (const juce::AudioBuffer<float>& in, double from, double to)
{
    const double ratio = from / to;
    const int outLength = (int) std::ceil (in.getNumSamples() / ratio);
    juce::AudioBuffer<float> out (in.getNumChannels(), outLength);
    out.clear();
    for (int c = 0; c < in.getNumChannels(); ++c)
    {
        juce::LagrangeInterpolator interpolator;
        interpolator.process (ratio, in.getReadPointer (c), out.getWritePointer (c), outLength, in.getNumSamples(), 0);
    }
    return out;
}

juce::MidiMessageSequence readMidi (const juce::String& path)
{
    juce::MidiMessageSequence all;
    if (path.isEmpty())
        return all;
    const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile (path);
    juce::FileInputStream in (file);
    juce::MidiFile midi;
    if (! in.openedOk() || ! midi.readFrom (in))
        throw Failure { "cannot read " + path + ": not a standard MIDI file" };
    midi.convertTimestampTicksToSeconds();
    for (int t = 0; t < midi.getNumTracks(); ++t)
        all.addSequence (*midi.getTrack (t), 0.0);
    all.updateMatchedPairs();
    return all;
}

void checkWritable (const juce::String& path)
{
    const juce::File f = juce::File::getCurrentWorkingDirectory().getChildFile (path);
    if (f.isDirectory())
        throw Failure { "cannot write " + path + ": it is a folder" };
    const auto dir = f.getParentDirectory();
    if (! dir.isDirectory() || ! dir.hasWriteAccess() || (f.exists() && ! f.hasWriteAccess()))
        throw Failure { "cannot write " + path + ": the folder does not exist or is not writable" };
}

void writeOutput (const juce::String& path, const juce::AudioBuffer<float>& b, double rate, bool asFloat)
{
    const juce::File target = juce::File::getCurrentWorkingDirectory().getChildFile (path);
    // Written next to the target and renamed at the end, so a failure leaves nothing behind.
    const juce::File temp = target.getSiblingFile ("." + target.getFileName() + ".part");
    if (wantsFlac (path))
    {
        juce::String error;
        if (! writeFlac (temp, b, rate, error))
        {
            temp.deleteFile();
            throw Failure { "cannot write " + path + ": " + error };
        }
    }
    else
    {
        auto stream = std::make_unique<juce::FileOutputStream> (temp);
        if (! stream->openedOk())
            throw Failure { "cannot write " + path };
        stream->setPosition (0);
        stream->truncate();
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (
            wav.createWriterFor (stream.get(), rate, (unsigned int) b.getNumChannels(), asFloat ? 32 : 24, {}, 0));
        if (writer == nullptr)
        {
            stream.reset();
            temp.deleteFile();
            throw Failure { "cannot write " + path + " in that format" };
        }
        stream.release(); // the writer owns it now
        const bool ok = writer->writeFromAudioSampleBuffer (b, 0, b.getNumSamples());
        writer.reset();
        if (! ok)
        {
            temp.deleteFile();
            throw Failure { "cannot write " + path + ": disk full?" };
        }
    }
    if (! temp.moveFileTo (target))
    {
        temp.deleteFile();
        throw Failure { "cannot write " + path };
    }
}

const veltrane::RegisteredPlugin* findPlugin (const juce::String& name)
{
    for (auto& p : veltrane::registeredPlugins())
        if (name == p.name)
            return &p;
    return nullptr;
}
} // namespace

int run (const RenderOptions& o, std::ostream& out, std::ostream& err)
{
    try
    {
        const auto* entry = findPlugin (o.plugin);
        if (entry == nullptr)
        {
            juce::StringArray names;
            for (auto& p : veltrane::registeredPlugins())
                names.add (p.name);
            throw Failure { "unknown plug-in \"" + o.plugin + "\"; this build has " + names.joinIntoString (", ") };
        }
        auto processor = entry->create();
        auto* vp = dynamic_cast<veltrane::VeltraneProcessor*> (processor.get());
        jassert (vp != nullptr);

        if (o.list)
        {
            listParameters (*vp, out);
            return 0;
        }

        std::vector<std::pair<int, const Assignment*>> resolved;
        for (auto& a : o.assignments)
            resolved.emplace_back (resolveParameter (*vp, a.parameter), &a);

        checkWritable (o.output);
        if (o.floatOutput && wantsFlac (o.output))
            throw Failure { "FLAC holds integer samples; --float needs a .wav output" };
        if (o.saveStateFile.isNotEmpty())
            checkWritable (o.saveStateFile);
        juce::MemoryBlock state;
        if (o.stateFile.isNotEmpty()
            && ! juce::File::getCurrentWorkingDirectory().getChildFile (o.stateFile).loadFileAsData (state))
            throw Failure { "cannot read " + o.stateFile };
        auto midi = readMidi (o.midiFile);

        double inputRate = 48000.0;
        auto input = readInput (o, inputRate);
        double rate = inputRate;
        if (o.rate > 0.0 && o.rate != inputRate)
        {
            input = resample (input, inputRate, o.rate);
            rate = o.rate;
        }

        if (o.dry)
        {
            writeOutput (o.output, input, rate, o.floatOutput);
            return 0;
        }

        auto* layerTarget = dynamic_cast<veltrane::LayerFileTarget*> (processor.get());
        if (! o.layerFiles.empty() && layerTarget == nullptr)
            throw Failure { o.plugin + " has no layers to load files into" };

        const int channels = input.getNumChannels();
        const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        if (! processor->setBusesLayout (layout))
            throw Failure { o.plugin + " does not take " + juce::String (channels) + " channels" };
        processor->setRateAndBufferSizeDetails (rate, o.blockSize);
        processor->prepareToPlay (rate, o.blockSize);

        if (state.getSize() > 0)
        {
            juce::MemoryBlock before;
            processor->getStateInformation (before);
            processor->setStateInformation (state.getData(), (int) state.getSize());
            juce::MemoryBlock after;
            processor->getStateInformation (after);
            if (before == after && state != before)
                err << "velrender: note: " << o.stateFile << " changed nothing (not a " << o.plugin << " state?)\n";
            // A state's layer files load in the background; the render starts with them in.
            if (layerTarget != nullptr)
            {
                if (! layerTarget->waitForLayerFiles())
                    throw Failure { "the layer files of " + o.stateFile + " did not load within a minute" };
                if (layerTarget->layerFileProblem().isNotEmpty())
                    err << "velrender: note: " << layerTarget->layerFileProblem() << " (the layer stays empty)\n";
            }
        }
        for (auto& [index, a] : resolved)
        {
            const float p = a->normalized ? a->value : vp->normalizedFromScaled (index, a->value);
            vp->setParameter (index, p);
        }
        for (auto& [layer, path] : o.layerFiles)
        {
            if (layer < 1 || layer > layerTarget->getNumLayers())
                throw Failure { "there is no layer " + juce::String (layer) };
            const juce::File f = juce::File::getCurrentWorkingDirectory().getChildFile (path);
            if (! f.existsAsFile() || ! layerTarget->loadLayerFileNow (layer - 1, f))
                throw Failure { "cannot load " + path + " into layer " + juce::String (layer) };
        }

        FixedTempoPlayHead playHead (o.tempo);
        if (o.tempo > 0.0)
            processor->setPlayHead (&playHead);

        const int inputLength = input.getNumSamples();
        const int total = inputLength + (int) std::ceil (o.tailSeconds * rate);
        juce::AudioBuffer<float> output (channels, total);
        juce::AudioBuffer<float> block (channels, o.blockSize);
        juce::MidiBuffer midiBlock;
        int midiIndex = 0;
        const auto started = std::chrono::steady_clock::now();
        int lastPercent = -1;
        for (int start = 0; start < total; start += o.blockSize)
        {
            const int n = std::min (o.blockSize, total - start);
            block.setSize (channels, n, false, false, true);
            for (int c = 0; c < channels; ++c)
            {
                block.clear (c, 0, n);
                const int avail = std::max (0, std::min (n, inputLength - start));
                if (avail > 0)
                    block.copyFrom (c, 0, input, c, start, avail);
            }
            midiBlock.clear();
            const double blockEnd = (start + n) / rate;
            while (midiIndex < midi.getNumEvents()
                   && midi.getEventPointer (midiIndex)->message.getTimeStamp() < blockEnd)
            {
                const auto& m = midi.getEventPointer (midiIndex)->message;
                const int offset = juce::jlimit (0, n - 1, (int) (m.getTimeStamp() * rate) - start);
                if (! m.isMetaEvent())
                    midiBlock.addEvent (m, offset);
                ++midiIndex;
            }
            playHead.samplePosition = start;
            processor->processBlock (block, midiBlock);
            for (int c = 0; c < channels; ++c)
                output.copyFrom (c, start, block, c, 0, n);

            const double elapsed = std::chrono::duration<double> (std::chrono::steady_clock::now() - started).count();
            const int percent = (int) (100.0 * (start + n) / total);
            if (elapsed > 1.0 && percent != lastPercent)
            {
                lastPercent = percent;
                const int bars = percent / 4;
                err << "\rvelrender [" << std::string ((size_t) bars, '#') << std::string ((size_t) (25 - bars), '.')
                    << "] " << percent << "%" << std::flush;
            }
        }
        if (lastPercent >= 0)
            err << "\n";
        processor->releaseResources();

        if (o.compensate)
        {
            const int latency = juce::jlimit (0, total, vp->getReportedLatency());
            juce::AudioBuffer<float> shifted (channels, total - latency);
            for (int c = 0; c < channels; ++c)
                shifted.copyFrom (c, 0, output, c, latency, total - latency);
            output = std::move (shifted);
        }
        writeOutput (o.output, output, rate, o.floatOutput);
        if (o.saveStateFile.isNotEmpty())
        {
            juce::MemoryBlock saved;
            processor->getStateInformation (saved);
            if (! juce::File::getCurrentWorkingDirectory()
                      .getChildFile (o.saveStateFile)
                      .replaceWithData (saved.getData(), saved.getSize()))
                throw Failure { "cannot write " + o.saveStateFile };
        }
        return 0;
    }
    catch (const Failure& f)
    {
        err << "velrender: " << f.message << "\n";
        return 2;
    }
}
} // namespace velrender
