#include "SoundFileWriter.h"
#include "VELSoundFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace revolvatest;

namespace
{
std::vector<float> firstBlock (VELSoundFile& f)
{
    std::vector<float> out ((size_t) (VELSoundFile::framesPerBlock * f.channelCount), 123.0f);
    f.ReadFloatBlock (out.data());
    return out;
}

std::string typeOf (std::uint32_t c)
{
    return { (char) (c >> 24), (char) (c >> 16), (char) (c >> 8), (char) c };
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
        { "WAVE 8-bit is offset binary", "a.wav", wave (1, 8, { 0x80, 0x00, 0xFF, 0xC0 }), "WAVE", "us08",
          { 0.0f, -1.0f, 127.0f / 128.0f, 0.5f } },
        { "WAVE 16-bit little-endian", "a.wav", wave (1, 16, { 0xFF, 0x7F, 0x00, 0x80, 0x00, 0x40 }), "WAVE", "si16",
          { 32767.0f / 32768.0f, -1.0f, 0.5f } },
        { "WAVE 24-bit little-endian", "a.wav", wave (1, 24, { 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x40 }), "WAVE", "si24",
          { -1.0f, 8388607.0f / 8388608.0f, 0.5f } },
        { "WAVE 32-bit stereo", "a.wav", wave (2, 32, { 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40 }), "WAVE", "si32",
          { -1.0f, 0.5f } },
        { "AIFF 8-bit is signed", "a.aif", form ("AIFF", { aiffComm (1, 3, 8, 44100), ssnd ({ 0x80, 0x7F, 0x40 }) }), "AIFF", "si08",
          { -1.0f, 127.0f / 128.0f, 0.5f } },
        { "AIFF 16-bit big-endian", "a.aiff", form ("AIFF", { aiffComm (1, 2, 16, 44100), ssnd ({ 0x7F, 0xFF, 0xC0, 0x00 }) }), "AIFF", "si16",
          { 32767.0f / 32768.0f, -0.5f } },
        { "AIFF 24-bit big-endian", "a.aif", form ("AIFF", { aiffComm (1, 2, 24, r), ssnd ({ 0x80, 0x00, 0x00, 0x40, 0x00, 0x00 }) }), "AIFF", "si24",
          { -1.0f, 0.5f } },
        { "AIFF 32-bit", "a.aif", form ("AIFF", { aiffComm (1, 1, 32, 44100), ssnd ({ 0xC0, 0x00, 0x00, 0x00 }) }), "AIFF", "si32",
          { -0.5f } },
        { "AIFC NONE 16-bit reads like AIFF", "a.aifc", form ("AIFC", { fver(), aifcComm (1, 2, 16, 44100, "NONE"), ssnd ({ 0x7F, 0xFF, 0xC0, 0x00 }) }), "AIFC", "si16",
          { 32767.0f / 32768.0f, -0.5f } },
        { "AIFC in24 ignores the size field", "a.aifc", form ("AIFC", { aifcComm (1, 1, 0, 44100, "in24"), ssnd ({ 0x40, 0x00, 0x00 }) }), "AIFC", "si24",
          { 0.5f } },
        { "AIFC fl32", "a.aifc", form ("AIFC", { fver(), aifcComm (1, 2, 32, 48000, "fl32"), ssnd ({ 0x3F, 0x00, 0x00, 0x00, 0xC0, 0x40, 0x00, 0x00 }) }), "AIFC", "fl32",
          { 0.5f, -3.0f } },
        { "Sun 8-bit signed", "a.au", sun (2, 1, { 0x80, 0x40 }, 2), "SUN ", "si08", { -1.0f, 0.5f } },
        { "Sun 16-bit", "a.au", sun (3, 1, { 0x40, 0x00 }, 2), "SUN ", "si16", { 0.5f } },
        { "Sun 24-bit", "a.au", sun (4, 1, { 0xC0, 0x00, 0x00 }, 3), "SUN ", "si24", { -0.5f } },
        { "Sun 32-bit", "a.au", sun (5, 1, { 0x40, 0x00, 0x00, 0x00 }, 4), "SUN ", "si32", { 0.5f } },
        { "Sun float", "a.au", sun (6, 1, { 0x3E, 0x80, 0x00, 0x00 }, 4), "SUN ", "fl32", { 0.25f } },
        { "Sun with a wrong size field reads to the end", "a.snd", sun (3, 1, { 0x40, 0x00, 0x20, 0x00, 0x10, 0x00 }, 2), "SUN ", "si16",
          { 0.5f, 0.25f, 0.125f } },
        { "WAVE named .snd is found by the fallback", "b.snd", wave (1, 16, { 0x00, 0x40 }), "WAVE", "si16", { 0.5f } },
        { "WAVE with data before fmt", "c.wav", wave ({ chunkLE ("data", { 0x00, 0x40, 0x00, 0xC0 }), waveFmt (1, 1, 44100, 16) }), "WAVE", "si16",
          { 0.5f, -0.5f } },
        { "WAVE with an odd-sized chunk before the data", "d.wav",
          wave ({ waveFmt (1, 1, 44100, 16), chunkLE ("LIST", { 1, 2, 3 }), chunkLE ("data", { 0x00, 0x40 }) }), "WAVE", "si16", { 0.5f } },
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

TEST (SoundFile, RefusesMalformedAndCompressedFiles)
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
        { "WAVE float", "a.wav", wave ({ waveFmt (3, 1, 44100, 32), chunkLE ("data", { 0, 0, 0, 0 }) }) },
        { "WAVE extensible", "a.wav", wave ({ waveFmt (65534, 1, 44100, 16), chunkLE ("data", { 0, 0 }) }) },
        { "WAVE ADPCM", "a.wav", wave ({ waveFmt (2, 1, 44100, 4), chunkLE ("data", { 0, 0 }) }) },
        { "WAVE mu-law", "a.wav", wave ({ waveFmt (257, 1, 44100, 8), chunkLE ("data", { 0, 0 }) }) },
        { "WAVE 12-bit", "a.wav", wave (1, 12, { 0, 0 }) },
        { "WAVE zero channels", "a.wav", zeroChannels },
        { "WAVE 65535 channels", "a.wav", negativeChannels },
        { "AIFF 12-bit", "a.aif", form ("AIFF", { aiffComm (1, 1, 12, 44100), ssnd ({ 0, 0 }) }) },
        { "AIFF zero channels", "a.aif", aiffZeroChannels },
        { "AIFF without sound data", "a.aif", aiffNoSound },
        { "AIFF infinite rate", "a.aif", aiffInfiniteRate },
        { "AIFC wrong version", "a.aifc", form ("AIFC", { fver (1), aifcComm (1, 1, 16, 44100, "NONE"), ssnd ({ 0, 0 }) }) },
        { "AIFC mu-law", "a.aifc", form ("AIFC", { aifcComm (1, 1, 16, 44100, "ulaw"), ssnd ({ 0, 0 }) }) },
        { "AIFC MAC3", "a.aifc", form ("AIFC", { aifcComm (1, 1, 16, 44100, "MAC3"), ssnd ({ 0, 0 }) }) },
        { "AIFC ima4", "a.aifc", form ("AIFC", { aifcComm (1, 1, 16, 44100, "ima4"), ssnd ({ 0, 0 }) }) },
        { "AIFC common chunk only", "a.aifc", aifcLongComm },
        { "Sun mu-law", "a.au", sun (1, 1, { 0 }, 1) },
        { "Sun A-law", "a.au", sun (27, 1, { 0 }, 1) },
        { "Sun unknown encoding", "a.au", sun (23, 1, { 0 }, 1) },
        { "Sun zero channels", "a.au", sun (3, 0, { 0, 0 }, 2) },
        { "Sun offset past the end", "a.au", sunOffsetPastEnd },
        { "no extension, nothing known", "noise", Bytes (64, 0x55) },
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
