// Arbitrary bytes as a sound file: the first byte picks the extension the reader identifies
// the file by, the rest is the file. Every header reader and libsndfile get their turn, and an
// accepted file is read as the loader thread reads a layer: blocks from a position, at most a
// layer's length.
#include "VELSoundFile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
constexpr int layerFrames = 524288;

std::string scratchPath (const char* extension)
{
    static const std::string folder = [] {
        const char* dir = std::getenv ("TMPDIR");
        return std::string (dir != nullptr && *dir != '\0' ? dir : "/tmp");
    }();
    return folder + "/veltrane-fuzz-" + std::to_string ((long) getpid()) + extension;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const char* const extensions[] = { ".wav", ".aif", ".aifc", ".snd", ".au", "" };
    const std::string path = scratchPath (extensions[data[0] % 6]);
    if (std::FILE* f = std::fopen (path.c_str(), "wb"))
    {
        std::fwrite (data + 1, 1, size - 1, f);
        std::fclose (f);
    }
    else
        return 0;

    revolva::VELSoundFile file;
    if (file.open (path.c_str()) == 0 && file.channelCount > 0)
    {
        // The loader's reads: from the start, and again from a refill position (the last
        // layer's length of the file, as "filepos" 1 asks for).
        std::vector<float> block ((size_t) revolva::VELSoundFile::framesPerBlock * file.channelCount);
        const std::int64_t starts[] = { 0, file.frameCount > layerFrames ? file.frameCount - layerFrames : 0 };
        for (std::int64_t start : starts)
        {
            // Blocks while they deliver frames, and the zero-filled one after the data's end.
            file.readPosition = start;
            for (int written = 0; written < layerFrames; written += (int) revolva::VELSoundFile::framesPerBlock)
            {
                const std::int64_t before = file.readPosition;
                file.ReadFloatBlock (block.data());
                if (file.readPosition == before)
                    break;
            }
        }
    }
    file.close();
    std::remove (path.c_str());
    return 0;
}
