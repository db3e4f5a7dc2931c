#include "SoundFiles.h"

#include <sndfile.h>

#include <limits>
#include <memory>
#include <vector>

namespace velrender
{
namespace
{
struct CloseFile
{
    void operator() (SNDFILE* f) const { sf_close (f); }
};
using FileHandle = std::unique_ptr<SNDFILE, CloseFile>;

/** A sample as the WAVE writer converts it (clipped, scaled by 2^31 - 1 and rounded), so
    FLAC and WAVE outputs of a render hold the same 24-bit samples. */
int toInt32 (float sample)
{
    const double s = sample;
    if (s <= -1.0)
        return std::numeric_limits<int>::min();
    if (s >= 1.0)
        return std::numeric_limits<int>::max();
    return juce::roundToInt (std::numeric_limits<int>::max() * s);
}
} // namespace

LibraryRead readWithLibrary (const juce::File& file, juce::AudioBuffer<float>& out, double& rate, juce::String& error)
{
    SF_INFO info {};
    FileHandle f (sf_open (file.getFullPathName().toRawUTF8(), SFM_READ, &info));
    if (f == nullptr)
        return LibraryRead::notReadable;
    if (info.channels < 1 || info.frames < 0 || info.frames > ((sf_count_t) 1 << 31) - 1)
    {
        error = "unsupported length or channel count";
        return LibraryRead::failed;
    }
    const int channels = juce::jmin (2, info.channels);
    const int frames = (int) info.frames;
    out.setSize (channels, frames);
    std::vector<float> block ((size_t) 8192 * (size_t) info.channels);
    int done = 0;
    while (done < frames)
    {
        const sf_count_t want = juce::jmin (8192, frames - done);
        const sf_count_t got = sf_readf_float (f.get(), block.data(), want);
        if (got <= 0)
            break;
        for (int c = 0; c < channels; ++c)
        {
            float* dst = out.getWritePointer (c, done);
            for (sf_count_t i = 0; i < got; ++i)
                dst[i] = block[(size_t) (i * info.channels + c)];
        }
        done += (int) got;
    }
    if (done < frames)
    {
        error = "the file is damaged";
        return LibraryRead::failed;
    }
    rate = (double) info.samplerate;
    return LibraryRead::ok;
}

bool wantsFlac (const juce::String& path) { return path.endsWithIgnoreCase (".flac"); }

bool writeFlac (const juce::File& target, const juce::AudioBuffer<float>& b, double rate, juce::String& error)
{
    SF_INFO info {};
    info.samplerate = juce::roundToInt (rate);
    info.channels = b.getNumChannels();
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    FileHandle f (sf_open (target.getFullPathName().toRawUTF8(), SFM_WRITE, &info));
    if (f == nullptr)
    {
        error = sf_strerror (nullptr);
        return false;
    }
    const int channels = b.getNumChannels();
    std::vector<int> block ((size_t) 8192 * (size_t) channels);
    for (int start = 0; start < b.getNumSamples(); start += 8192)
    {
        const int n = juce::jmin (8192, b.getNumSamples() - start);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                block[(size_t) (i * channels + c)] = toInt32 (b.getSample (c, start + i));
        if (sf_writef_int (f.get(), block.data(), n) != n)
        {
            error = sf_strerror (f.get());
            return false;
        }
    }
    return true;
}
} // namespace velrender
