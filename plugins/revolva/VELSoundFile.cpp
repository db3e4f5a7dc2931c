#include "VELSoundFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <sndfile.h>

namespace revolva
{
namespace
{
constexpr std::uint32_t nullType = VELSoundFile::code ("NULL");

bool endsWithOneOf (const char* ext, std::initializer_list<const char*> list)
{
    for (const char* e : list)
        if (std::strcmp (ext, e) == 0)
            return true;
    return false;
}

/** Rate from an 80-bit value, truncated toward zero; false when it is no usable number. */
bool rateFromExtended (const std::uint8_t* bytes, std::int32_t& rate)
{
    const double r = ieee_80_to_double (bytes);
    if (! (r > -2147483648.0 && r < 2147483648.0))
        return false;
    rate = (std::int32_t) r;
    return true;
}
} // namespace

double ieee_80_to_double (const unsigned char* bytes)
{
    const bool negative = (bytes[0] & 0x80) != 0;
    const int exponent = ((bytes[0] & 0x7F) << 8) | bytes[1];
    const std::uint32_t high = ((std::uint32_t) bytes[2] << 24) | ((std::uint32_t) bytes[3] << 16)
                               | ((std::uint32_t) bytes[4] << 8) | (std::uint32_t) bytes[5];
    const std::uint32_t low = ((std::uint32_t) bytes[6] << 24) | ((std::uint32_t) bytes[7] << 16)
                              | ((std::uint32_t) bytes[8] << 8) | (std::uint32_t) bytes[9];
    if (exponent == 0 && high == 0 && low == 0 && ! negative)
        return 0.0;
    const double mantissa = (double) high * std::ldexp (1.0, -31) + (double) low * std::ldexp (1.0, -63);
    const double v = mantissa * std::pow (2.0, (double) (exponent - 16383));
    return negative ? -v : v;
}

VELSoundFile::VELSoundFile()
    : fileType (nullType),
      sampleFormat (nullType)
{
    const std::uint16_t probe = 1;
    std::uint8_t first;
    std::memcpy (&first, &probe, 1);
    hostBigEndian = first == 0 ? 1 : 0;
}

VELSoundFile::~VELSoundFile() { close(); }

std::uint32_t VELSoundFile::be32 (const std::uint8_t* p) const
{
    return ((std::uint32_t) p[0] << 24) | ((std::uint32_t) p[1] << 16) | ((std::uint32_t) p[2] << 8) | p[3];
}
std::uint16_t VELSoundFile::be16 (const std::uint8_t* p) const { return (std::uint16_t) ((p[0] << 8) | p[1]); }
std::uint32_t VELSoundFile::le32 (const std::uint8_t* p) const
{
    return ((std::uint32_t) p[3] << 24) | ((std::uint32_t) p[2] << 16) | ((std::uint32_t) p[1] << 8) | p[0];
}
std::uint16_t VELSoundFile::le16 (const std::uint8_t* p) const { return (std::uint16_t) ((p[1] << 8) | p[0]); }

bool VELSoundFile::readAt (std::int64_t offset, void* dst, std::size_t bytes)
{
    if (fileHandle == nullptr || offset < 0 || offset > (std::int64_t) std::numeric_limits<long>::max())
        return false;
    if (std::fseek (fileHandle, (long) offset, SEEK_SET) != 0)
        return false;
    return std::fread (dst, 1, bytes, fileHandle) == bytes;
}

std::int64_t VELSoundFile::fileLength()
{
    if (fileHandle == nullptr || std::fseek (fileHandle, 0, SEEK_END) != 0)
        return -1;
    return (std::int64_t) std::ftell (fileHandle);
}

void VELSoundFile::releaseBuffers()
{
    std::vector<std::uint8_t>().swap (byteBuffer);
    std::vector<std::int16_t>().swap (shortBuffer);
    std::vector<std::uint32_t>().swap (wordBuffer);
}

void VELSoundFile::close()
{
    releaseBuffers();
    if (fileHandle != nullptr)
        std::fclose (fileHandle);
    fileHandle = nullptr;
    if (libraryHandle != nullptr)
        sf_close (libraryHandle);
    libraryHandle = nullptr;
    isOpen = false;
}

int VELSoundFile::open (const char* path)
{
    close();
    if (path == nullptr || std::strlen (path) > (std::size_t) maxPathBytes)
        return -1;
    // Read-only: the reader never writes, and a missing file must not be created.
    fileHandle = std::fopen (path, "rb");
    if (fileHandle == nullptr)
        return -1;
    fileType = nullType;
    readPosition = 0;
    blockFrames = 0;
    containerKnown = false;
    encodingRefused = false;
    if (identify (path) == 0)
    {
        isOpen = true;
        return 0;
    }
    const bool libraryMayRead = fileType != code ("SDII") && (! containerKnown || encodingRefused);
    close();
    if (libraryMayRead && openWithLibrary (path) == 0)
    {
        isOpen = true;
        return 0;
    }
    return -1;
}

int VELSoundFile::openWithLibrary (const char* path)
{
    SF_INFO info {};
    SNDFILE* h = sf_open (path, SFM_READ, &info);
    if (h == nullptr)
        return -1;
    // An unknown length (a stream) or an implausible layout is refused like a damaged header.
    if (info.channels <= 0 || (std::uint32_t) info.channels > maxChannels || info.frames < 0
        || info.frames == SF_COUNT_MAX || info.samplerate <= 0)
    {
        sf_close (h);
        return -1;
    }
    libraryHandle = h;
    libraryPosition = 0;
    fileType = code ("SNDF");
    sampleFormat = code ("fl32");
    bitsPerSample = 32;
    sampleRate = info.samplerate;
    channelCount = (std::uint32_t) info.channels;
    frameCount = info.frames;
    dataStart = 0;
    dataBytes = frameCount * (std::int64_t) channelCount * 4;
    dataEnd = dataBytes;
    return 0;
}

int VELSoundFile::identify (const char* path)
{
    const char* name = std::strrchr (path, '/');
    name = name != nullptr ? name + 1 : path;
    const char* dot = std::strrchr (name, '.');
    const char* ext = dot != nullptr ? dot + 1 : "";

    if (endsWithOneOf (ext, { "wav", "WAV", "wave" }))
    {
        fileType = code ("WAVE");
        return ReadWaveHeader();
    }
    if (endsWithOneOf (ext, { "sd2", "sd2f", "SD2", "SD2F" }))
    {
        fileType = code ("SDII");
        return -1;
    }
    if (endsWithOneOf (ext, { "aiff", "AIFF", "aif", "AIF" }))
    {
        fileType = code ("AIFF");
        return ReadAIFFHeader() == 0 ? 0 : ReadAIFCHeader();
    }
    if (endsWithOneOf (ext, { "aifc", "AIFC" }))
    {
        fileType = code ("AIFC");
        return ReadAIFCHeader() == 0 ? 0 : ReadAIFFHeader();
    }
    if (ReadWaveHeader() == 0)
        return 0;
    if (ReadAIFFHeader() == 0)
        return 0;
    if (ReadAIFCHeader() == 0)
        return 0;
    return ReadSunHeader();
}

int VELSoundFile::finishFrames()
{
    // Zero channels or bits would divide by zero; a negative size is a damaged header.
    if (channelCount == 0 || channelCount > maxChannels || bitsPerSample <= 0 || dataBytes < 0)
        return -1;
    frameCount = dataBytes * 8 / ((std::int64_t) bitsPerSample * (std::int64_t) channelCount);
    return 0;
}

int VELSoundFile::ReadWaveHeader()
{
    std::uint8_t h[22];
    if (! readAt (0, h, 12) || std::memcmp (h, "RIFF", 4) != 0 || std::memcmp (h + 8, "WAVE", 4) != 0)
        return -1;
    containerKnown = true;

    bool haveFormat = false, haveData = false;
    std::int64_t offset = 12;
    while (! (haveFormat && haveData))
    {
        // A chunk header that cannot be read ends the walk: the file lacks a required chunk.
        if (! readAt (offset, h, 8))
            return -1;
        const std::uint32_t size = le32 (h + 4);
        std::int64_t next = offset + 8 + (std::int64_t) size;
        next += next & 1;
        if (std::memcmp (h, "fmt ", 4) == 0)
        {
            if (! readAt (offset, h, 22))
                return -1;
            const std::uint16_t tag = le16 (h + 8);
            sampleRate = (std::int32_t) le32 (h + 12);
            channelCount = (std::uint32_t) (std::int32_t) (std::int16_t) le16 (h + 10);
            switch (tag)
            {
                case 1:
                {
                    std::uint8_t b[2];
                    if (! readAt (offset + 22, b, 2))
                        return -1;
                    bitsPerSample = le16 (b);
                    switch (bitsPerSample)
                    {
                        case 8:
                            sampleFormat = code ("us08");
                            break;
                        case 16:
                            sampleFormat = code ("si16");
                            break;
                        case 24:
                            sampleFormat = code ("si24");
                            break;
                        case 32:
                            sampleFormat = code ("si32");
                            break;
                        default:
                            encodingRefused = true;
                            return -1;
                    }
                    next = offset + (std::int64_t) size + 8;
                    break;
                }
                case 2:
                    sampleFormat = code ("msad");
                    bitsPerSample = 4;
                    encodingRefused = true;
                    return -1;
                case 17:
                    sampleFormat = code ("imad");
                    bitsPerSample = 4;
                    encodingRefused = true;
                    return -1;
                case 257:
                    sampleFormat = code ("mu08");
                    bitsPerSample = 8;
                    encodingRefused = true;
                    return -1;
                case 258:
                    sampleFormat = code ("al08");
                    bitsPerSample = 8;
                    encodingRefused = true;
                    return -1;
                case 259:
                    sampleFormat = code ("ibad");
                    bitsPerSample = 4;
                    encodingRefused = true;
                    return -1;
                default:
                    encodingRefused = true;
                    return -1; // float, extensible and others
            }
            haveFormat = true;
        }
        else if (std::memcmp (h, "data", 4) == 0)
        {
            dataBytes = (std::int32_t) size;
            dataStart = offset + 8;
            dataEnd = offset + 8 + (std::int64_t) size;
            haveData = true;
        }
        if (haveFormat && haveData)
            break;
        offset = next;
    }
    if (finishFrames() != 0)
        return -1;
    fileType = code ("WAVE");
    return 0;
}

namespace
{
std::uint32_t formatForSize (int bits)
{
    switch (bits)
    {
        case 8:
            return VELSoundFile::code ("si08");
        case 16:
            return VELSoundFile::code ("si16");
        case 24:
            return VELSoundFile::code ("si24");
        case 32:
            return VELSoundFile::code ("si32");
        default:
            return 0;
    }
}
} // namespace

int VELSoundFile::ReadAIFFHeader() { return readFormHeader (false); }

int VELSoundFile::ReadAIFCHeader() { return readFormHeader (true); }

int VELSoundFile::readFormHeader (bool aifc)
{
    // Bounded work area for the common chunk: a larger size field reads no further.
    constexpr std::size_t commonBytes = 30;
    std::uint8_t h[commonBytes];
    if (! readAt (0, h, 12) || std::memcmp (h, "FORM", 4) != 0 || std::memcmp (h + 8, aifc ? "AIFC" : "AIFF", 4) != 0)
        return -1;
    containerKnown = true;

    bool haveCommon = false, haveSound = false;
    std::int64_t offset = 12;
    while (true)
    {
        if (! readAt (offset, h, 8))
            return -1;
        const std::uint32_t size = be32 (h + 4);
        std::int64_t next = offset + 8 + (std::int64_t) size;
        next += next & 1;
        if (aifc && std::memcmp (h, "FVER", 4) == 0)
        {
            std::uint8_t stamp[4];
            if (! readAt (offset + 8, stamp, 4) || be32 (stamp) != 0xA2805140u)
                return -1;
            next = offset + (std::int64_t) size + 8;
        }
        else if (std::memcmp (h, "COMM", 4) == 0)
        {
            if (! readAt (offset, h, aifc ? commonBytes : 26))
                return -1;
            channelCount = (std::uint32_t) (std::int32_t) (std::int16_t) be16 (h + 8);
            frameCount = (std::int64_t) be32 (h + 10);
            const int sampleSize = (std::int16_t) be16 (h + 14);
            if (! rateFromExtended (h + 16, sampleRate))
                return -1;
            if (! (aifc ? takeCompression (be32 (h + 26), sampleSize) : takeSampleSize (sampleSize)))
                return -1;
            // Checked before the size is worked out: a damaged count (a negative 16-bit field
            // reads as 0xFFFFFFFF) would overflow it.
            if (channelCount == 0 || channelCount > maxChannels)
                return -1;
            dataBytes = (std::int64_t) bitsPerSample * frameCount * (std::int64_t) channelCount / 8;
            // AIFF's common chunk is taken at its standard size whatever its size field says.
            next = aifc ? offset + (std::int64_t) size + 8 : offset + 26;
            haveCommon = true;
        }
        else if (std::memcmp (h, "SSND", 4) == 0)
        {
            if (! readAt (offset, h, 16))
                return -1;
            dataStart = (std::int64_t) (std::uint32_t) ((std::uint32_t) offset + 16u + be32 (h + 8));
            dataEnd = offset + 8 + (std::int64_t) size;
            haveSound = true;
        }
        if (haveCommon && haveSound)
            break;
        offset = next;
    }
    fileType = code (aifc ? "AIFC" : "AIFF");
    return 0;
}

bool VELSoundFile::takeSampleSize (int sampleSize)
{
    bitsPerSample = sampleSize;
    sampleFormat = formatForSize (bitsPerSample);
    if (sampleFormat == 0)
    {
        encodingRefused = true;
        return false;
    }
    return true;
}

bool VELSoundFile::takeCompression (std::uint32_t type, int sampleSize)
{
    if (type == code ("NONE"))
        return takeSampleSize (sampleSize);
    if (type == code ("in08") || type == code ("in16") || type == code ("in24") || type == code ("in32"))
    {
        bitsPerSample = type == code ("in08") ? 8 : type == code ("in16") ? 16 : type == code ("in24") ? 24 : 32;
        sampleFormat = formatForSize (bitsPerSample);
        return true;
    }
    if (type == code ("fl32") || type == code ("FL32"))
    {
        sampleFormat = code ("fl32");
        bitsPerSample = 32;
        return true;
    }
    // Compressed: named for the library reader, refused here.
    if (type == code ("ulaw"))
    {
        sampleFormat = code ("mu08");
        bitsPerSample = 8;
    }
    else if (type == code ("alaw"))
    {
        sampleFormat = code ("al08");
        bitsPerSample = 8;
    }
    else if (type == code ("ADP4"))
    {
        sampleFormat = code ("msad");
        bitsPerSample = 4;
    }
    else if (type == code ("ima4"))
    {
        sampleFormat = code ("imad");
        bitsPerSample = 4;
    }
    encodingRefused = true;
    return false;
}

int VELSoundFile::ReadSunHeader()
{
    std::uint8_t h[24];
    if (! readAt (0, h, 24) || std::memcmp (h, ".snd", 4) != 0)
        return -1;
    containerKnown = true;
    const std::int32_t offsetField = (std::int32_t) be32 (h + 4);
    switch (be32 (h + 12))
    {
        case 1:
            sampleFormat = code ("mu08");
            bitsPerSample = 8;
            encodingRefused = true;
            return -1;
        case 2:
            sampleFormat = code ("si08");
            bitsPerSample = 8;
            break;
        case 3:
            sampleFormat = code ("si16");
            bitsPerSample = 16;
            break;
        case 4:
            sampleFormat = code ("si24");
            bitsPerSample = 24;
            break;
        case 5:
            sampleFormat = code ("si32");
            bitsPerSample = 32;
            break;
        case 6:
            sampleFormat = code ("fl32");
            bitsPerSample = 32;
            break;
        case 27:
            sampleFormat = code ("al08");
            bitsPerSample = 8;
            encodingRefused = true;
            return -1;
        default:
            encodingRefused = true;
            return -1;
    }
    sampleRate = (std::int32_t) be32 (h + 16);
    channelCount = be32 (h + 20);
    const std::int64_t length = fileLength();
    // The size field is not trusted: the data runs to the end of the file.
    if (length < 0 || offsetField < 0 || offsetField > length)
        return -1;
    dataStart = offsetField;
    dataEnd = length;
    dataBytes = length - offsetField;
    if (finishFrames() != 0)
        return -1;
    fileType = code ("SUN ");
    return 0;
}

void VELSoundFile::ReadFloatBlock (float* out)
{
    const std::int64_t samplesPerBlock = framesPerBlock * (std::int64_t) channelCount;
    std::fill (out, out + samplesPerBlock, 0.0f);
    if (readPosition > frameCount)
        readPosition = frameCount;
    if (readPosition < 0)
        readPosition = 0;

    if (libraryHandle != nullptr)
    {
        blockFrames = framesPerBlock;
        const std::int64_t n = std::min (frameCount - readPosition, framesPerBlock);
        if (n <= 0)
            return;
        // Sequential blocks need no seek (costly in compressed formats).
        if (readPosition != libraryPosition)
        {
            libraryPosition = sf_seek (libraryHandle, (sf_count_t) readPosition, SEEK_SET);
            if (libraryPosition != readPosition)
            {
                libraryPosition = -1;
                return;
            }
        }
        const sf_count_t m = sf_readf_float (libraryHandle, out, (sf_count_t) n);
        if (m <= 0)
            return;
        libraryPosition += m;
        readPosition += m;
        return;
    }

    const bool compressed = sampleFormat == code ("al08") || sampleFormat == code ("ibad")
                            || sampleFormat == code ("imad") || sampleFormat == code ("msad")
                            || sampleFormat == code ("mu08");
    if (compressed || fileHandle == nullptr || channelCount == 0 || bitsPerSample <= 0)
        return;

    const std::size_t bytesPerSample = (std::size_t) bitsPerSample / 8;
    if (bitsPerSample <= 8)
    {
        if ((std::int64_t) byteBuffer.size() < samplesPerBlock)
            byteBuffer.assign ((std::size_t) samplesPerBlock, 0);
    }
    else if (bitsPerSample == 16)
    {
        if ((std::int64_t) shortBuffer.size() < samplesPerBlock)
            shortBuffer.assign ((std::size_t) samplesPerBlock, 0);
    }
    else if ((std::int64_t) wordBuffer.size() < samplesPerBlock)
        wordBuffer.assign ((std::size_t) samplesPerBlock, 0);
    blockFrames = framesPerBlock;

    const std::int64_t n = std::min (frameCount - readPosition, framesPerBlock);
    if (n <= 0)
        return;
    const std::int64_t start = dataStart + (std::int64_t) channelCount * readPosition * bitsPerSample / 8;
    if (start < 0 || start > (std::int64_t) std::numeric_limits<long>::max()
        || std::fseek (fileHandle, (long) start, SEEK_SET) != 0)
        return;

    void* raw = bitsPerSample <= 8    ? (void*) byteBuffer.data()
                : bitsPerSample == 16 ? (void*) shortBuffer.data()
                                      : (void*) wordBuffer.data();
    const std::size_t wanted = (std::size_t) (n * (std::int64_t) channelCount);
    const std::size_t got = std::fread (raw, bytesPerSample, wanted, fileHandle);
    const std::int64_t m = (std::int64_t) got / (std::int64_t) channelCount;
    const std::size_t count = (std::size_t) (m * (std::int64_t) channelCount);

    const bool little = fileType == code ("WAVE");
    const auto* bytes = static_cast<const std::uint8_t*> (raw);
    const std::uint32_t fmt = sampleFormat;
    if (fmt == code ("us08"))
    {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = (float) (std::int8_t) (bytes[i] ^ 0x80) * scale8;
    }
    else if (fmt == code ("si08"))
    {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = (float) (std::int8_t) bytes[i] * scale8;
    }
    else if (fmt == code ("si16"))
    {
        for (std::size_t i = 0; i < count; ++i)
        {
            const std::uint8_t* p = bytes + 2 * i;
            out[i] = (float) (std::int16_t) (little ? le16 (p) : be16 (p)) * scale16;
        }
    }
    else if (fmt == code ("si24"))
    {
        for (std::size_t i = 0; i < count; ++i)
        {
            const std::uint8_t* p = bytes + 3 * i;
            const std::uint32_t w =
                little ? ((std::uint32_t) p[2] << 24) | ((std::uint32_t) p[1] << 16) | ((std::uint32_t) p[0] << 8)
                       : ((std::uint32_t) p[0] << 24) | ((std::uint32_t) p[1] << 16) | ((std::uint32_t) p[2] << 8);
            out[i] = (float) (std::int32_t) w * scale32;
        }
    }
    else if (fmt == code ("si32") || fmt == code ("fl32"))
    {
        const bool isFloat = fmt == code ("fl32");
        for (std::size_t i = 0; i < count; ++i)
        {
            const std::uint8_t* p = bytes + 4 * i;
            const std::uint32_t w = little ? le32 (p) : be32 (p);
            if (isFloat)
                std::memcpy (out + i, &w, 4);
            else
                out[i] = (float) (std::int32_t) w * scale32;
        }
    }
    else
        return;
    readPosition += m;
}
} // namespace revolva
