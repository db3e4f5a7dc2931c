// Helper of standalone_jack.sh: prepares a standalone program's settings as a user would
// leave them, and listens to the program through a JACK server of its own.
//
//   standalone_jack_probe settings PLUGIN FILE [--audio JACK|ALSA] [NAME=VALUE ...]
//       writes the settings file the program reads: audio input not muted (the window's
//       "mute audio input" box unticked), the plug-in's state with the given normalized
//       parameter values, and with --audio a remembered choice of audio system
//   standalone_jack_probe ports CLIENT SECONDS
//       exit 0 when CLIENT registers in_1, in_2, out_1 and out_2 within SECONDS, else 3
//   standalone_jack_probe listen CLIENT SECONDS
//       plays a tone into CLIENT's inputs, records its outputs for SECONDS, prints the
//       level; exit 0 when the recording is not silent and CLIENT is connected to the
//       server's system ports, 1 otherwise, 3 without ports

#include "PluginRegistry.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_data_structures/juce_data_structures.h>

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace
{
int writeSettings (int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const std::string plugin = argv[2];
    std::unique_ptr<juce::AudioProcessor> processor;
    for (auto& entry : veltrane::registeredPlugins())
        if (plugin == entry.name)
            processor = entry.create();
    if (processor == nullptr)
    {
        std::fprintf (stderr, "unknown plug-in %s\n", plugin.c_str());
        return 2;
    }
    juce::String audio;
    for (int i = 4; i < argc; ++i)
    {
        const juce::String a (argv[i]);
        if (a == "--audio" && i + 1 < argc)
        {
            audio = argv[++i];
            continue;
        }
        const auto name = a.upToFirstOccurrenceOf ("=", false, false);
        const float value = a.fromFirstOccurrenceOf ("=", false, false).getFloatValue();
        bool found = false;
        for (auto* p : processor->getParameters())
            if (p->getName (100) == name)
            {
                p->setValue (value);
                found = true;
            }
        if (! found)
        {
            std::fprintf (stderr, "unknown parameter %s\n", name.toRawUTF8());
            return 2;
        }
    }
    juce::MemoryBlock state;
    processor->getStateInformation (state);

    const juce::File file (juce::String::fromUTF8 (argv[3]));
    file.getParentDirectory().createDirectory();
    juce::PropertiesFile settings (file, {});
    settings.setValue ("shouldMuteInput", false);
    settings.setValue ("filterState", state.toBase64Encoding());
    if (audio.isNotEmpty())
    {
        juce::XmlElement setup ("DEVICESETUP");
        setup.setAttribute ("deviceType", audio);
        if (audio == "JACK")
        {
            setup.setAttribute ("audioInputDeviceName", "system");
            setup.setAttribute ("audioOutputDeviceName", "system");
        }
        settings.setValue ("audioSetup", &setup);
    }
    return settings.save() ? 0 : 2;
}

struct Listener
{
    jack_port_t* in[2] {};
    jack_port_t* out[2] {};
    double phase = 0.0, step = 0.0;
    std::atomic<double> energy { 0.0 };
    std::atomic<long> samples { 0 };

    static int process (jack_nframes_t n, void* arg)
    {
        auto& self = *static_cast<Listener*> (arg);
        double e = 0.0;
        for (int c = 0; c < 2; ++c)
        {
            auto* o = static_cast<float*> (jack_port_get_buffer (self.out[c], n));
            const auto* i = static_cast<const float*> (jack_port_get_buffer (self.in[c], n));
            double ph = self.phase;
            for (jack_nframes_t k = 0; k < n; ++k)
            {
                o[k] = 0.25f * (float) std::sin (ph);
                ph += self.step;
                e += (double) i[k] * i[k];
            }
        }
        self.phase = std::fmod (self.phase + self.step * n, 2.0 * 3.141592653589793);
        self.energy.store (self.energy.load() + e);
        self.samples.store (self.samples.load() + 2 * (long) n);
        return 0;
    }
};

bool waitForPorts (jack_client_t* client, const std::string& name, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double> (seconds);
    while (std::chrono::steady_clock::now() < end)
    {
        bool all = true;
        for (const char* port : { ":in_1", ":in_2", ":out_1", ":out_2" })
            all = all && jack_port_by_name (client, (name + port).c_str()) != nullptr;
        if (all)
            return true;
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }
    return false;
}

int probe (int argc, char** argv, bool listen)
{
    if (argc < 4)
        return 2;
    const std::string target = argv[2];
    const double seconds = std::atof (argv[3]);
    jack_status_t status {};
    jack_client_t* client = jack_client_open ("veltrane_probe", JackNoStartServer, &status);
    if (client == nullptr)
    {
        std::fprintf (stderr, "no JACK server\n");
        return 2;
    }
    if (! waitForPorts (client, target, listen ? 10.0 : seconds))
    {
        std::printf ("%s: no audio ports registered\n", target.c_str());
        jack_client_close (client);
        return 3;
    }
    std::printf ("%s: in_1, in_2, out_1 and out_2 registered\n", target.c_str());
    // The program connects itself to the server's own ports, as a user expects: it does so
    // after registering them, so a busy machine may show the ports a moment before.
    bool connected = false;
    const auto connectBy = std::chrono::steady_clock::now() + std::chrono::seconds (10);
    while (! connected && std::chrono::steady_clock::now() < connectBy)
    {
        connected = true;
        for (const char* pair : { ":out_1|system:playback_1", ":out_2|system:playback_2", ":in_1|system:capture_1",
                                  ":in_2|system:capture_2" })
        {
            const std::string p (pair);
            const auto bar = p.find ('|');
            const auto* mine = jack_port_by_name (client, (target + p.substr (0, bar)).c_str());
            connected = connected && mine != nullptr && jack_port_connected_to (mine, p.substr (bar + 1).c_str()) != 0;
        }
        if (! connected)
            std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }
    std::printf ("%s: %s the server's system ports\n", target.c_str(), connected ? "connected to" : "NOT connected to");
    if (! listen)
    {
        jack_client_close (client);
        return 0;
    }

    Listener l;
    l.step = 2.0 * 3.141592653589793 * 440.0 / (double) jack_get_sample_rate (client);
    for (int c = 0; c < 2; ++c)
    {
        const std::string n = std::to_string (c + 1);
        l.in[c] = jack_port_register (client, ("in_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        l.out[c] = jack_port_register (client, ("out_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    }
    jack_set_process_callback (client, Listener::process, &l);
    if (jack_activate (client) != 0)
        return 2;
    for (int c = 0; c < 2; ++c)
    {
        const std::string n = std::to_string (c + 1);
        jack_connect (client, jack_port_name (l.out[c]), (target + ":in_" + n).c_str());
        jack_connect (client, (target + ":out_" + n).c_str(), jack_port_name (l.in[c]));
    }
    std::this_thread::sleep_for (std::chrono::duration<double> (seconds));
    jack_deactivate (client);
    jack_client_close (client);
    const long n = l.samples.load();
    const double rms = n > 0 ? std::sqrt (l.energy.load() / (double) n) : 0.0;
    std::printf ("%s: recorded %ld samples of its output, RMS %.6f\n", target.c_str(), n, rms);
    return rms > 1.0e-3 && connected ? 0 : 1;
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "settings")
        return writeSettings (argc, argv);
    if (command == "ports" || command == "listen")
        return probe (argc, argv, command == "listen");
    std::fprintf (stderr, "usage: standalone_jack_probe settings|ports|listen ...\n");
    return 2;
}
