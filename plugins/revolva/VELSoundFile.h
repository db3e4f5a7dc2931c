#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

typedef struct sf_private_tag SNDFILE; // libsndfile's handle, as <sndfile.h> declares it

namespace revolva
{
/** Reads RIFF WAVE, AIFF, AIFC and Sun/NeXT sound files as blocks of 8192 interleaved
    32-bit float frames. Header readers return 0 when the attached file is of their
    format and acceptable, -1 otherwise; compressed encodings are recognised and refused.
    What the own readers refuse for its container or its encoding (float or extensible
    WAVE, FLAC, Ogg, MP3, W64, CAF, compressed encodings, ...) is then read through
    libsndfile when that library can; damaged files of the own formats stay refused.
    Plain C++: the loader thread owns the object, the audio thread never touches it. */
class VELSoundFile
{
public:
    static constexpr std::int64_t framesPerBlock = 8192;
    static constexpr int maxPathBytes = 1023;         // longer paths are refused
    static constexpr std::uint32_t maxChannels = 256; // more is taken as a damaged header

    /** Four-character code: the four ASCII bytes, most significant first. */
    static constexpr std::uint32_t code (const char (&s)[5])
    {
        return ((std::uint32_t) (unsigned char) s[0] << 24) | ((std::uint32_t) (unsigned char) s[1] << 16)
               | ((std::uint32_t) (unsigned char) s[2] << 8) | (std::uint32_t) (unsigned char) s[3];
    }

    VELSoundFile();
    ~VELSoundFile();
    VELSoundFile (const VELSoundFile&) = delete;
    VELSoundFile& operator= (const VELSoundFile&) = delete;

    /** Attaches the file at path read-only, identifies it by its extension (or by trying
        every reader) and sets isOpen when a header is accepted. Returns 0 or -1; on -1
        nothing stays attached. A file already attached is closed first. */
    int open (const char* path);
    /** Releases the raw buffers, closes the stream and clears isOpen. */
    void close();

    /** Runs the identification on the attached stream: by the extension of path, falling
        back to every reader in turn. Returns the result of the reader that decided. */
    int identify (const char* path);

    /** Attaches the file through libsndfile: 0 when the library reads it (fileType
        "SNDF", samples delivered as "fl32"), -1 otherwise. */
    int openWithLibrary (const char* path);
    bool readByLibrary() const noexcept { return libraryHandle != nullptr; }

    int ReadWaveHeader();
    int ReadAIFFHeader();
    int ReadAIFCHeader();
    int ReadSunHeader();

    /** Fills out (channelCount x 8192 floats) with the next block, interleaved, zero past
        the end of the data, and advances readPosition by the frames read. */
    void ReadFloatBlock (float* out);

    bool isOpen = false;
    std::FILE* fileHandle = nullptr;
    std::int32_t hostBigEndian = 0;               // 1 when the host stores integers big-endian
    std::uint32_t fileType;                       // container code ("WAVE", "AIFF", "AIFC", "SUN ", "NULL", "SDII")
    std::uint32_t sampleFormat;                   // encoding code ("us08", "si16", "fl32", ...)
    std::int32_t sampleRate = 0;                  // frames per second as stored in the header
    std::int32_t bitsPerSample = 0;               // 8, 16, 24 or 32 when accepted
    std::int64_t dataStart = 0;                   // byte offset of the first sample byte
    std::int64_t dataEnd = 0;                     // byte offset just after the sound data
    std::int64_t dataBytes = 0;                   // bytes of sound data
    std::int64_t frameCount = 0;                  // sample frames
    std::uint32_t channelCount = 0;               // interleaved channels per frame
    std::int64_t readPosition = 0;                // next frame ReadFloatBlock delivers
    float scale8 = 0.0078125f;                    // 2^-7
    float scale16 = 0.000030517578125f;           // 2^-15
    float scale32 = 0.0000000004656612873077393f; // 2^-31, 24- and 32-bit integers
    std::vector<std::uint8_t> byteBuffer;         // one raw block of 8-bit samples
    std::vector<std::int16_t> shortBuffer;        // one raw block of 16-bit samples
    std::vector<std::uint32_t> wordBuffer;        // one raw block of 24-bit (packed) or 32-bit samples
    std::int64_t blockFrames = 0;                 // frames per block once a block was read
    SNDFILE* libraryHandle = nullptr;             // the file when libsndfile reads it

private:
    /** The AIFF and AIFC chunk walk: form, optional version stamp (AIFC), common and sound
        data chunks; 0 when accepted. */
    int readFormHeader (bool aifc);
    /** Encoding of an uncompressed AIFF sample size; false (and refused) when unusable. */
    bool takeSampleSize (int sampleSize);
    /** Encoding of an AIFC compression type; false (and refused) for compressed ones. */
    bool takeCompression (std::uint32_t type, int sampleSize);

    // Why the own readers refused the attached file: only a refused container or
    // encoding is handed to the library, never a damaged file of a known container.
    bool containerKnown = false;      // a reader recognised the file's signature
    bool encodingRefused = false;     // a reader refused the file's sample encoding
    std::int64_t libraryPosition = 0; // the library's read position (frames)
    bool readAt (std::int64_t offset, void* dst, std::size_t bytes);
    std::int64_t fileLength();
    std::uint32_t be32 (const std::uint8_t* p) const;
    std::uint16_t be16 (const std::uint8_t* p) const;
    std::uint32_t le32 (const std::uint8_t* p) const;
    std::uint16_t le16 (const std::uint8_t* p) const;
    int finishFrames();
    void releaseBuffers();
};

/** Converts 10 bytes holding a big-endian IEEE 754 80-bit extended value to a double. */
double ieee_80_to_double (const unsigned char* bytes);
} // namespace revolva
