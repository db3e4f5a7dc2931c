#pragma once

// Sound files in the formats users have, written by sox (tools/deps.sh installs it with its
// MP3 writer) into a temporary folder. sox cannot write Opus; those files are written by
// libsndfile's own encoder instead.

#include <sndfile.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace veltrane::testing
{
class SoxFolder
{
public:
    SoxFolder()
    {
        static int counter = 0;
        dir = std::filesystem::temp_directory_path()
              / ("revolva_sox_" + std::to_string (::getpid()) + "_" + std::to_string (++counter));
        std::filesystem::create_directories (dir);
    }
    ~SoxFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all (dir, ec);
    }
    SoxFolder (const SoxFolder&) = delete;
    SoxFolder& operator= (const SoxFolder&) = delete;

    std::string path (const std::string& name) const { return (dir / name).string(); }

    /** Runs sox with "{out}" in args replaced by the path of name; the path, or an empty
        string when sox fails. */
    std::string make (const std::string& name, std::string args) const
    {
        const std::string out = path (name);
        const auto at = args.find ("{out}");
        if (at != std::string::npos)
            args.replace (at, 5, "'" + out + "'");
        const std::string command = "sox " + args + " 2> /dev/null";
        return std::system (command.c_str()) == 0 && std::filesystem::exists (out) ? out : std::string();
    }

    /** Converts source into name; extra are sox's output options (encoding, bits). */
    std::string convert (const std::string& source, const std::string& name, const std::string& extra) const
    {
        return make (name, "'" + source + "' " + extra + " {out}");
    }

    /** An Ogg/Opus file of interleaved float frames, written by libsndfile. */
    std::string writeOpus (const std::string& name, const std::vector<float>& interleaved, int channels, int rate) const
    {
        const std::string out = path (name);
        SF_INFO info {};
        info.samplerate = rate;
        info.channels = channels;
        info.format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
        SNDFILE* f = sf_open (out.c_str(), SFM_WRITE, &info);
        if (f == nullptr)
            return {};
        const sf_count_t frames = (sf_count_t) interleaved.size() / channels;
        const bool ok = sf_writef_float (f, interleaved.data(), frames) == frames;
        sf_close (f);
        return ok ? out : std::string();
    }

private:
    std::filesystem::path dir;
};
} // namespace veltrane::testing
