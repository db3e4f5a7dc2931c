#include "RenderOptions.h"

namespace velrender
{
namespace
{
bool parseNumber (const juce::String& text, double& out)
{
    const auto t = text.trim();
    if (t.isEmpty())
        return false;
    const char* begin = t.toRawUTF8();
    char* end = nullptr;
    out = std::strtod (begin, &end);
    return end != begin && *end == '\0' && std::isfinite (out);
}
} // namespace

juce::String usage()
{
    return "usage: velrender PLUGIN [options] [INPUT] OUTPUT\n"
           "  PLUGIN             quorrel, tonalith, durafold or revolva\n"
           "  INPUT              a sound file (WAV, AIFF, FLAC, Ogg, MP3, ... as libsndfile\n"
           "                     reads them); omitted: a generated demo signal\n"
           "  OUTPUT             the WAV file to write, or FLAC when it ends in .flac\n"
           "options:\n"
           "  --set NAME=VALUE   parameter in its own units, as the editor shows it\n"
           "  --norm NAME=VALUE  parameter as a normalized value (0..1)\n"
           "                     NAME may also be the parameter's index\n"
           "  --list             print the parameters and exit\n"
           "  --state FILE       load a state saved by the plug-in\n"
           "  --save-state FILE  write the state after the render\n"
           "  --midi FILE.mid    feed a MIDI file\n"
           "  --tempo BPM        host tempo\n"
           "  --layer-file N=PATH  load a sound file into layer N (revolva)\n"
           "  --tail SECONDS     render past the end of the input\n"
           "  --compensate       remove the reported latency from the output\n"
           "  --block N          host block size (default 512)\n"
           "  --rate R           output sample rate; the input is resampled\n"
           "  --float            write 32-bit float instead of 24-bit (WAV only)\n"
           "  --dry              write the input (or the generated signal) unprocessed\n";
}

std::optional<juce::StringArray> argumentsFromBytes (const std::vector<std::string>& args, juce::String& error)
{
    juce::StringArray text;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const auto& a = args[i];
        if (a.find ('\0') != std::string::npos || ! juce::CharPointer_UTF8::isValidString (a.data(), (int) a.size()))
        {
            error = "argument " + juce::String ((int) i + 1) + " is not valid UTF-8 text";
            return std::nullopt;
        }
        text.add (juce::String::fromUTF8 (a.data(), (int) a.size()));
    }
    return text;
}

std::optional<RenderOptions> parseOptions (const juce::StringArray& args, juce::String& error)
{
    RenderOptions o;
    juce::StringArray positional;
    auto needValue = [&] (int& i, const juce::String& flag, juce::String& value) {
        if (i + 1 >= args.size())
        {
            error = flag + " needs a value";
            return false;
        }
        value = args[++i];
        return true;
    };

    for (int i = 0; i < args.size(); ++i)
    {
        const auto& a = args[i];
        juce::String v;
        if (a == "--list")
            o.list = true;
        else if (a == "--float")
            o.floatOutput = true;
        else if (a == "--compensate")
            o.compensate = true;
        else if (a == "--dry")
            o.dry = true;
        else if (a == "--set" || a == "--norm" || a == "--layer-file")
        {
            if (! needValue (i, a, v))
                return std::nullopt;
            const int eq = v.indexOfChar ('=');
            if (eq <= 0)
            {
                error = a + " takes NAME=VALUE, not \"" + v + "\"";
                return std::nullopt;
            }
            const auto name = v.substring (0, eq).trim();
            const auto valueText = v.substring (eq + 1);
            if (a == "--layer-file")
            {
                double n = 0;
                // (numbers past int's range would not convert)
                if (! parseNumber (name, n) || n != std::floor (n) || std::fabs (n) > 1.0e6)
                {
                    error = "--layer-file needs a layer number, not \"" + name + "\"";
                    return std::nullopt;
                }
                o.layerFiles.emplace_back ((int) n, valueText);
                continue;
            }
            double value = 0;
            if (! parseNumber (valueText, value))
            {
                error = "cannot read the value \"" + valueText + "\" of " + name;
                return std::nullopt;
            }
            o.assignments.push_back ({ name, (float) value, a == "--norm" });
        }
        else if (a == "--state" || a == "--save-state" || a == "--midi")
        {
            if (! needValue (i, a, v))
                return std::nullopt;
            (a == "--state" ? o.stateFile : a == "--midi" ? o.midiFile : o.saveStateFile) = v;
        }
        else if (a == "--block" || a == "--rate" || a == "--tail" || a == "--tempo")
        {
            if (! needValue (i, a, v))
                return std::nullopt;
            double x = 0;
            if (! parseNumber (v, x))
            {
                error = "cannot read the value \"" + v + "\" of " + a;
                return std::nullopt;
            }
            if (a == "--block")
            {
                if (x < 1 || x > 65536 || x != std::floor (x))
                {
                    error = "--block must be a whole number of samples from 1 to 65536";
                    return std::nullopt;
                }
                o.blockSize = (int) x;
            }
            else if (a == "--rate")
            {
                if (x < 8000 || x > 768000)
                {
                    error = "--rate must be between 8000 and 768000 Hz";
                    return std::nullopt;
                }
                o.rate = x;
            }
            else if (a == "--tail")
            {
                if (x < 0 || x > 3600)
                {
                    error = "--tail must be between 0 and 3600 seconds";
                    return std::nullopt;
                }
                o.tailSeconds = x;
            }
            else
            {
                if (x <= 0 || x > 1000)
                {
                    error = "--tempo must be above 0 and at most 1000 bpm";
                    return std::nullopt;
                }
                o.tempo = x;
            }
        }
        else if (a.startsWith ("--"))
        {
            error = "unknown option " + a;
            return std::nullopt;
        }
        else
            positional.add (a);
    }

    if (positional.isEmpty())
    {
        error = "no plug-in given";
        return std::nullopt;
    }
    o.plugin = positional[0];
    positional.remove (0);
    if (o.list)
        return o;
    if (positional.size() == 1)
        o.output = positional[0];
    else if (positional.size() == 2)
    {
        o.input = positional[0];
        o.output = positional[1];
    }
    else
    {
        error = positional.isEmpty() ? "no output file given" : "too many file names";
        return std::nullopt;
    }
    return o;
}
} // namespace velrender
