#include "SoundFileWriter.h"
#include "SoxFiles.h"
#include "VELSoundFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using revolva::ieee_80_to_double;
using revolva::VELSoundFile;

using namespace revolvatest;
using veltrane::testing::SoxFolder;

namespace
{
std::vector<float> firstBlock (VELSoundFile& f)
{
    std::vector<float> out ((size_t) (VELSoundFile::framesPerBlock * f.channelCount), 123.0f);
    f.ReadFloatBlock (out.data());
    return out;
}

std::string typeOf (std::uint32_t c) { return { (char) (c >> 24), (char) (c >> 16), (char) (c >> 8), (char) c }; }

/** Every frame from readPosition on, interleaved, read block by block. */
std::vector<float> readRest (VELSoundFile& f)
{
    std::vector<float> all, block ((size_t) (VELSoundFile::framesPerBlock * f.channelCount));
    while (f.readPosition < f.frameCount)
    {
        const std::int64_t before = f.readPosition;
        const std::int64_t n = std::min (f.frameCount - before, VELSoundFile::framesPerBlock);
        f.ReadFloatBlock (block.data());
        if (f.readPosition == before)
            break; // a read that delivers nothing ends the file
        all.insert (all.end(), block.begin(), block.begin() + (std::ptrdiff_t) (n * f.channelCount));
    }
    return all;
}

/** Correlation of channel 0 of b with a at the best lag within +-maxLag frames. */
double bestCorrelation (const std::vector<float>& a, const std::vector<float>& b, int channels, int maxLag)
{
    const int start = 2 * maxLag, length = 16384;
    double best = -1.0;
    for (int lag = -maxLag; lag <= maxLag; ++lag)
    {
        double ab = 0.0, aa = 0.0, bb = 0.0;
        for (int i = start; i < start + length; ++i)
        {
            const size_t ia = (size_t) i * (size_t) channels, ib = (size_t) (i + lag) * (size_t) channels;
            if (ib >= b.size() || ia >= a.size())
                break;
            ab += (double) a[ia] * b[ib];
            aa += (double) a[ia] * a[ia];
            bb += (double) b[ib] * b[ib];
        }
        if (aa > 0.0 && bb > 0.0)
            best = std::max (best, ab / std::sqrt (aa * bb));
    }
    return best;
}

struct FormatCase
{
    const char* label;
    const char* name;
    Bytes file;
    const char* type;
    const char* format;
    std::vector<float> expected; // interleaved samples at the start of the first block
};
} // namespace

TEST (SoundFile, EverySampleFormatAndByteOrder)
{
    const double r = 22050.5;
    const std::vector<FormatCase> cases = {
        { "WAVE 8-bit is offset binary",
          "a.wav",
          wave (1, 8, { 0x80, 0x00, 0xFF, 0xC0 }),
          "WAVE",
          "us08",
          { 0.0f, -1.0f, 127.0f / 128.0f, 0.5f } },
        { "WAVE 16-bit little-endian",
          "a.wav",
          wave (1, 16, { 0xFF, 0x7F, 0x00, 0x80, 0x00, 0x40 }),
          "WAVE",
          "si16",
          { 32767.0f / 32768.0f, -1.0f, 0.5f } },
        { "WAVE 24-bit little-endian",
          "a.wav",
          wave (1, 24, { 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x40 }),
          "WAVE",
          "si24",
          { -1.0f, 8388607.0f / 8388608.0f, 0.5f } },
        { "WAVE 32-bit stereo",
          "a.wav",
          wave (2, 32, { 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40 }),
          "WAVE",
          "si32",
          { -1.0f, 0.5f } },
        { "AIFF 8-bit is signed",
          "a.aif",
          form ("AIFF", { aiffComm (1, 3, 8, 44100), ssnd ({ 0x80, 0x7F, 0x40 }) }),
          "AIFF",
          "si08",
          { -1.0f, 127.0f / 128.0f, 0.5f } },
        { "AIFF 16-bit big-endian",
          "a.aiff",
          form ("AIFF", { aiffComm (1, 2, 16, 44100), ssnd ({ 0x7F, 0xFF, 0xC0, 0x00 }) }),
          "AIFF",
          "si16",
          { 32767.0f / 32768.0f, -0.5f } },
        { "AIFF 24-bit big-endian",
          "a.aif",
          form ("AIFF", { aiffComm (1, 2, 24, r), ssnd ({ 0x80, 0x00, 0x00, 0x40, 0x00, 0x00 }) }),
          "AIFF",
          "si24",
          { -1.0f, 0.5f } },
        { "AIFF 32-bit",
          "a.aif",
          form ("AIFF", { aiffComm (1, 1, 32, 44100), ssnd ({ 0xC0, 0x00, 0x00, 0x00 }) }),
          "AIFF",
          "si32",
          { -0.5f } },
        { "AIFC NONE 16-bit reads like AIFF",
          "a.aifc",
          form ("AIFC", { fver(), aifcComm (1, 2, 16, 44100, "NONE"), ssnd ({ 0x7F, 0xFF, 0xC0, 0x00 }) }),
          "AIFC",
          "si16",
          { 32767.0f / 32768.0f, -0.5f } },
        { "AIFC in24 ignores the size field",
          "a.aifc",
          form ("AIFC", { aifcComm (1, 1, 0, 44100, "in24"), ssnd ({ 0x40, 0x00, 0x00 }) }),
          "AIFC",
          "si24",
          { 0.5f } },
        { "AIFC fl32",
          "a.aifc",
          form ("AIFC", { fver(), aifcComm (1, 2, 32, 48000, "fl32"),
                          ssnd ({ 0x3F, 0x00, 0x00, 0x00, 0xC0, 0x40, 0x00, 0x00 }) }),
          "AIFC",
          "fl32",
          { 0.5f, -3.0f } },
        { "Sun 8-bit signed", "a.au", sun (2, 1, { 0x80, 0x40 }, 2), "SUN ", "si08", { -1.0f, 0.5f } },
        { "Sun 16-bit", "a.au", sun (3, 1, { 0x40, 0x00 }, 2), "SUN ", "si16", { 0.5f } },
        { "Sun 24-bit", "a.au", sun (4, 1, { 0xC0, 0x00, 0x00 }, 3), "SUN ", "si24", { -0.5f } },
        { "Sun 32-bit", "a.au", sun (5, 1, { 0x40, 0x00, 0x00, 0x00 }, 4), "SUN ", "si32", { 0.5f } },
        { "Sun float", "a.au", sun (6, 1, { 0x3E, 0x80, 0x00, 0x00 }, 4), "SUN ", "fl32", { 0.25f } },
        { "Sun with a wrong size field reads to the end",
          "a.snd",
          sun (3, 1, { 0x40, 0x00, 0x20, 0x00, 0x10, 0x00 }, 2),
          "SUN ",
          "si16",
          { 0.5f, 0.25f, 0.125f } },
        { "WAVE named .snd is found by the fallback", "b.snd", wave (1, 16, { 0x00, 0x40 }), "WAVE", "si16", { 0.5f } },
        { "WAVE with data before fmt",
          "c.wav",
          wave ({ chunkLE ("data", { 0x00, 0x40, 0x00, 0xC0 }), waveFmt (1, 1, 44100, 16) }),
          "WAVE",
          "si16",
          { 0.5f, -0.5f } },
        { "WAVE with an odd-sized chunk before the data",
          "d.wav",
          wave ({ waveFmt (1, 1, 44100, 16), chunkLE ("LIST", { 1, 2, 3 }), chunkLE ("data", { 0x00, 0x40 }) }),
          "WAVE",
          "si16",
          { 0.5f } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.label);
        TempFile file (c.name, c.file);
        VELSoundFile f;
        ASSERT_EQ (f.open (file.path.c_str()), 0);
        EXPECT_TRUE (f.isOpen);
        EXPECT_EQ (typeOf (f.fileType), c.type);
        EXPECT_EQ (typeOf (f.sampleFormat), c.format);
        const std::int64_t frames = (std::int64_t) c.expected.size() / f.channelCount;
        EXPECT_EQ (f.frameCount, frames);
        auto out = firstBlock (f);
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ (out[i], c.expected[i]) << "sample " << i;
        for (size_t i = c.expected.size(); i < out.size(); ++i)
            ASSERT_EQ (out[i], 0.0f) << "beyond the data, sample " << i;
        EXPECT_EQ (f.readPosition, frames);
    }
}

TEST (SoundFile, HeaderFields)
{
    TempFile a ("r.aif", form ("AIFF", { aiffComm (2, 1, 16, 22050.5), ssnd ({ 0, 1, 0, 2 }) }));
    VELSoundFile f;
    ASSERT_EQ (f.open (a.path.c_str()), 0);
    EXPECT_EQ (f.sampleRate, 22050);
    EXPECT_EQ (f.channelCount, 2u);
    EXPECT_EQ (f.bitsPerSample, 16);
    EXPECT_EQ (f.dataBytes, 4);
    // Header 12, COMM 26, then the SSND header of 16 bytes.
    EXPECT_EQ (f.dataStart, 12 + 26 + 16);

    TempFile w ("r.wav", wave (2, 16, Bytes (8, 0), 48000));
    ASSERT_EQ (f.open (w.path.c_str()), 0);
    EXPECT_EQ (f.sampleRate, 48000);
    EXPECT_EQ (f.frameCount, 2);
    EXPECT_EQ (f.dataStart, 12 + 24 + 8);
    EXPECT_EQ (f.dataEnd, f.dataStart + 8);

    const unsigned char rate44100[10] = { 0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0 };
    EXPECT_EQ (ieee_80_to_double (rate44100), 44100.0);
    const unsigned char negativeHalf[10] = { 0xBF, 0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0 };
    EXPECT_EQ (ieee_80_to_double (negativeHalf), -0.5);
    const unsigned char zero[10] = {};
    EXPECT_EQ (ieee_80_to_double (zero), 0.0);
}

TEST (SoundFile, BlocksAdvanceAndStopAtTheEnd)
{
    // 10000 frames of a 16-bit ramp: the second block holds the last 1808 frames.
    Bytes data;
    for (int i = 0; i < 10000; ++i)
        le16 (data, (std::uint32_t) (i & 0x7FFF));
    TempFile file ("ramp.wav", wave (1, 16, data));
    VELSoundFile f;
    ASSERT_EQ (f.open (file.path.c_str()), 0);
    auto first = firstBlock (f);
    EXPECT_EQ (first[8191], 8191.0f / 32768.0f);
    EXPECT_EQ (f.readPosition, 8192);
    auto second = firstBlock (f);
    EXPECT_EQ (second[0], 8192.0f / 32768.0f);
    EXPECT_EQ (second[1807], 9999.0f / 32768.0f);
    EXPECT_EQ (second[1808], 0.0f);
    EXPECT_EQ (f.readPosition, 10000);
    auto third = firstBlock (f);
    for (float v : third)
        ASSERT_EQ (v, 0.0f);
    EXPECT_EQ (f.readPosition, 10000);

    f.readPosition = 1000000;
    firstBlock (f);
    EXPECT_EQ (f.readPosition, 10000);

    // A data size beyond the end of the file: a short read, zeros after it.
    Bytes shortData = wave (1, 16, { 0x00, 0x40, 0x00, 0x20 });
    shortData[40] = 0x00; // data size 4 -> 0x1000 at byte 40..43
    shortData[41] = 0x10;
    TempFile truncated ("short.wav", shortData);
    ASSERT_EQ (f.open (truncated.path.c_str()), 0);
    EXPECT_EQ (f.frameCount, 2048);
    auto out = firstBlock (f);
    EXPECT_EQ (out[0], 0.5f);
    EXPECT_EQ (out[1], 0.25f);
    EXPECT_EQ (out[2], 0.0f);
    EXPECT_EQ (f.readPosition, 2);
}

TEST (SoundFile, RefusesDamagedFilesAndEncodingsNothingDecodes)
{
    Bytes goodWave = wave (1, 16, { 0, 0 });
    Bytes noFmt = wave ({ chunkLE ("data", { 0, 0 }) });
    Bytes noData = wave ({ waveFmt (1, 1, 44100, 16) });
    Bytes hugeChunk = wave ({ waveFmt (1, 1, 44100, 16) });
    le32 (hugeChunk, 0x6B6E756A); // "junk"
    le32 (hugeChunk, 0xFFFFFFF0u);
    Bytes truncatedFmt = wave ({ waveFmt (1, 1, 44100, 16) });
    truncatedFmt.resize (30);

    Bytes zeroChannels = wave (0, 16, { 0, 0 });
    Bytes negativeChannels = wave (0xFFFF, 16, { 0, 0 });
    Bytes aiffZeroChannels = form ("AIFF", { aiffComm (0, 1, 16, 44100), ssnd ({ 0, 0 }) });
    Bytes aiffNoSound = form ("AIFF", { aiffComm (1, 1, 16, 44100) });
    Bytes aiffInfiniteRate = form ("AIFF", { aiffComm (1, 1, 16, 44100), ssnd ({ 0, 0 }) });
    aiffInfiniteRate[12 + 16] = 0x7F; // exponent 32767
    aiffInfiniteRate[12 + 17] = 0xFF;
    Bytes aifcLongComm = form ("AIFC", { aifcComm (1, 1, 16, 44100, "NONE") });
    Bytes sunOffsetPastEnd = sun (3, 1, { 0, 0 }, 2);
    sunOffsetPastEnd[7] = 0xFF; // data offset 255 in a 26-byte file
    Bytes flacDamaged { 'f', 'L', 'a', 'C', 0x80, 0x00, 0x00, 0x22 };
    flacDamaged.resize (60, 0xEE);
    Bytes oggDamaged { 'O', 'g', 'g', 'S', 0, 2 };
    oggDamaged.resize (80, 0);
    Bytes cafDamaged { 'c', 'a', 'f', 'f', 0, 1, 0, 0 };
    put (cafDamaged, "data");
    cafDamaged.resize (40, 0);

    struct Case
    {
        const char* label;
        const char* name;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        { "sd2 is refused without parsing", "a.sd2", goodWave },
        { "SD2F too", "a.SD2F", goodWave },
        { "empty file", "e.wav", {} },
        { "wrong signature", "x.wav", Bytes { 'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E' } },
        { "no fmt chunk", "a.wav", noFmt },
        { "no data chunk", "a.wav", noData },
        { "a chunk size past the end", "a.wav", hugeChunk },
        { "truncated fmt chunk", "a.wav", truncatedFmt },
        // Encodings the own reader refuses and the library cannot decode either.
        { "WAVE extensible without its extension fields", "a.wav",
          wave ({ waveFmt (65534, 1, 44100, 16), chunkLE ("data", { 0, 0 }) }) },
        { "WAVE ADPCM without its coefficients", "a.wav",
          wave ({ waveFmt (2, 1, 44100, 4), chunkLE ("data", { 0, 0 }) }) },
        { "WAVE IBM mu-law", "a.wav", wave ({ waveFmt (257, 1, 44100, 8), chunkLE ("data", { 0, 0 }) }) },
        { "WAVE zero channels", "a.wav", zeroChannels },
        { "WAVE 65535 channels", "a.wav", negativeChannels },
        { "AIFF zero channels", "a.aif", aiffZeroChannels },
        // A negative 16-bit channel count with the largest frame count: refused before the
        // data size is worked out (it would overflow).
        { "AIFF -1 channels", "a.aif", form ("AIFF", { aiffComm (0xFFFF, 0xFFFFFFFFu, 32, 44100), ssnd ({ 0, 0 }) }) },
        { "AIFC -1 channels", "a.aifc",
          form ("AIFC", { aifcComm (0xFFFF, 0xFFFFFFFFu, 32, 44100, "NONE"), ssnd ({ 0, 0 }) }) },
        { "AIFF without sound data", "a.aif", aiffNoSound },
        { "AIFF infinite rate", "a.aif", aiffInfiniteRate },
        { "AIFC wrong version", "a.aifc",
          form ("AIFC", { fver (1), aifcComm (1, 1, 16, 44100, "NONE"), ssnd ({ 0, 0 }) }) },
        { "AIFC MAC3", "a.aifc", form ("AIFC", { aifcComm (1, 1, 16, 44100, "MAC3"), ssnd ({ 0, 0 }) }) },
        { "AIFC common chunk only", "a.aifc", aifcLongComm },
        { "Sun unknown encoding", "a.au", sun (99, 1, { 0 }, 1) },
        { "Sun zero channels", "a.au", sun (3, 0, { 0, 0 }, 2) },
        { "Sun offset past the end", "a.au", sunOffsetPastEnd },
        { "no extension, nothing known", "noise", Bytes (64, 0x55) },
        // Containers only the library knows, damaged.
        { "FLAC signature with a damaged stream header", "a.flac", flacDamaged },
        { "Ogg page of nothing", "a.ogg", oggDamaged },
        { "CAF without its description", "a.caf", cafDamaged },
        { "MP3 name on a text file", "a.mp3", Bytes (2000, 'a') },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.label);
        TempFile file (c.name, c.bytes);
        VELSoundFile f;
        EXPECT_EQ (f.open (file.path.c_str()), -1);
        EXPECT_FALSE (f.isOpen);
        EXPECT_EQ (f.fileHandle, nullptr);
    }

    // Compressed encodings are recognised before being refused.
    TempFile mu ("m.wav", wave ({ waveFmt (257, 1, 8000, 8), chunkLE ("data", { 0 }) }));
    VELSoundFile f;
    EXPECT_EQ (f.open (mu.path.c_str()), -1);
    EXPECT_EQ (typeOf (f.sampleFormat), "mu08");
    EXPECT_EQ (f.bitsPerSample, 8);

    EXPECT_EQ (f.open ("/nonexistent/dir/file.wav"), -1);
    EXPECT_FALSE (std::filesystem::exists ("/nonexistent/dir/file.wav"));
    const std::string longPath (1100, 'a');
    EXPECT_EQ (f.open (longPath.c_str()), -1);
}

TEST (SoundFile, EncodingsTheOwnReadersRefuseGoToTheLibrary)
{
    // Small files of the own containers whose sample encoding only the library decodes.
    const std::vector<FormatCase> cases = {
        { "WAVE float",
          "a.wav",
          wave ({ waveFmt (3, 1, 44100, 32), chunkLE ("data", { 0x00, 0x00, 0x00, 0x3F }) }),
          "SNDF",
          "fl32",
          { 0.5f } },
        { "WAVE 12-bit in 16-bit words", "a.wav", wave (1, 12, { 0x00, 0x40 }), "SNDF", "fl32", { 0.5f } },
        { "AIFF 12-bit",
          "a.aif",
          form ("AIFF", { aiffComm (1, 1, 12, 44100), ssnd ({ 0xC0, 0x00 }) }),
          "SNDF",
          "fl32",
          { -0.5f } },
        { "AIFC mu-law",
          "a.aifc",
          form ("AIFC", { aifcComm (1, 1, 16, 44100, "ulaw"), ssnd ({ 0xFF }) }),
          "SNDF",
          "fl32",
          { 0.0f } },
        { "Sun mu-law", "a.au", sun (1, 1, { 0xFF }, 1), "SNDF", "fl32", { 0.0f } },
        { "Sun A-law", "a.au", sun (27, 1, { 0xD5 }, 1), "SNDF", "fl32", { 0.0f } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.label);
        TempFile file (c.name, c.file);
        VELSoundFile f;
        ASSERT_EQ (f.open (file.path.c_str()), 0);
        EXPECT_TRUE (f.readByLibrary());
        EXPECT_EQ (typeOf (f.fileType), c.type);
        EXPECT_EQ (typeOf (f.sampleFormat), c.format);
        EXPECT_EQ (f.frameCount, (std::int64_t) c.expected.size());
        const auto block = firstBlock (f);
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_NEAR (block[i], c.expected[i], 0.01f) << i;
        EXPECT_EQ (block[c.expected.size()], 0.0f);
        f.close();
        EXPECT_FALSE (f.isOpen);
        EXPECT_FALSE (f.readByLibrary());
    }
}

TEST (SoundFile, FormatsUsersHaveAreReadThroughTheLibrary)
{
    SoxFolder sox;
    // The reference: 24-bit AIFF, which the own reader takes, so its samples are the ones
    // revolva has always read.
    const std::string ref =
        sox.make ("ref.aiff", "-n -r 48000 -c 2 -b 24 {out} synth 1.5 sine 440 sine 660 gain -3 remix 1 2v0.7");
    ASSERT_FALSE (ref.empty()) << "sox is needed (tools/deps.sh installs it)";
    VELSoundFile reference;
    ASSERT_EQ (reference.open (ref.c_str()), 0);
    EXPECT_EQ (typeOf (reference.fileType), "AIFF");
    EXPECT_FALSE (reference.readByLibrary());
    const auto expected = readRest (reference);
    ASSERT_EQ (expected.size(), 72000u * 2u);

    std::vector<float> opusSource (expected);
    struct Case
    {
        const char* label;
        std::string path;
        bool lossless;
        double minCorrelation; // lossy: at the best lag within 2048 frames
    };
    const std::vector<Case> cases = {
        { "IEEE float WAVE", sox.convert (ref, "f.wav", "-e floating-point -b 32"), true, 1.0 },
        { "24-bit WAVE_FORMAT_EXTENSIBLE", sox.convert (ref, "x.wav", "-b 24"), true, 1.0 },
        { "FLAC", sox.convert (ref, "f.flac", ""), true, 1.0 },
        { "W64", sox.convert (ref, "f.w64", "-b 24"), true, 1.0 },
        { "CAF", sox.convert (ref, "f.caf", "-b 24"), true, 1.0 },
        { "Ogg/Vorbis", sox.convert (ref, "f.ogg", ""), false, 0.99 },
        { "MP3", sox.convert (ref, "f.mp3", ""), false, 0.99 },
        { "Ogg/Opus", sox.writeOpus ("f.opus", opusSource, 2, 48000), false, 0.99 },
        { "mu-law WAVE", sox.convert (ref, "u.wav", "-e u-law"), false, 0.999 },
        { "IMA ADPCM WAVE", sox.convert (ref, "i.wav", "-e ima-adpcm"), false, 0.99 },
        { "A-law Sun", sox.convert (ref, "a.au", "-e a-law"), false, 0.999 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.label);
        ASSERT_FALSE (c.path.empty()) << "could not write the file";
        VELSoundFile f;
        ASSERT_EQ (f.open (c.path.c_str()), 0);
        EXPECT_TRUE (f.readByLibrary());
        EXPECT_EQ (typeOf (f.fileType), "SNDF");
        EXPECT_EQ (f.channelCount, 2u);
        EXPECT_EQ (f.sampleRate, 48000);
        const auto got = readRest (f);
        if (c.lossless)
        {
            ASSERT_EQ (f.frameCount, reference.frameCount);
            ASSERT_EQ (got.size(), expected.size());
            const auto mismatch = std::mismatch (got.begin(), got.end(), expected.begin());
            EXPECT_TRUE (mismatch.first == got.end())
                << "first difference at sample " << (mismatch.first - got.begin());

            // Reading from a position (the "filepos" refill) seeks to that very frame.
            f.readPosition = 30001;
            const auto fromMiddle = firstBlock (f);
            for (int i = 0; i < 2 * 8192; i += 97)
                ASSERT_EQ (fromMiddle[(size_t) i], expected[(size_t) (2 * 30001 + i)]) << i;
        }
        else
        {
            // Codecs may pad or trim up to a frame of their own.
            EXPECT_NEAR ((double) f.frameCount, (double) reference.frameCount, 2400.0);
            EXPECT_GE (bestCorrelation (expected, got, 2, 2048), c.minCorrelation);
        }
    }
}
