#pragma once

// Builds small sound files byte by byte for the reader and loader tests.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace revolvatest
{
using Bytes = std::vector<std::uint8_t>;

inline void put (Bytes& b, const char* fourcc)
{
    // Byte by byte: GCC 12 misreads a range insert into an empty vector as an overflow.
    for (int i = 0; i < 4; ++i)
        b.push_back ((std::uint8_t) fourcc[i]);
}
inline void le16 (Bytes& b, std::uint32_t v)
{
    b.push_back ((std::uint8_t) v);
    b.push_back ((std::uint8_t) (v >> 8));
}
inline void le32 (Bytes& b, std::uint32_t v)
{
    le16 (b, v & 0xFFFF);
    le16 (b, v >> 16);
}
inline void be16 (Bytes& b, std::uint32_t v)
{
    b.push_back ((std::uint8_t) (v >> 8));
    b.push_back ((std::uint8_t) v);
}
inline void be32 (Bytes& b, std::uint32_t v)
{
    be16 (b, v >> 16);
    be16 (b, v & 0xFFFF);
}
inline void append (Bytes& b, const Bytes& more) { b.insert (b.end(), more.begin(), more.end()); }

/** Big-endian 80-bit extended encoding of a positive value (or zero). */
inline Bytes extended (double v)
{
    Bytes b (10, 0);
    if (v == 0.0)
        return b;
    int e = 0;
    const double f = std::frexp (v, &e); // v = f 2^e, f in [0.5, 1)
    const std::uint64_t mantissa = (std::uint64_t) std::ldexp (f, 64);
    const int exponent = e - 1 + 16383;
    b[0] = (std::uint8_t) (exponent >> 8);
    b[1] = (std::uint8_t) exponent;
    for (int i = 0; i < 8; ++i)
        b[(size_t) (2 + i)] = (std::uint8_t) (mantissa >> (56 - 8 * i));
    return b;
}

inline Bytes chunkLE (const char* id, const Bytes& body)
{
    Bytes b;
    put (b, id);
    le32 (b, (std::uint32_t) body.size());
    append (b, body);
    if (body.size() & 1)
        b.push_back (0);
    return b;
}

inline Bytes chunkBE (const char* id, const Bytes& body)
{
    Bytes b;
    put (b, id);
    be32 (b, (std::uint32_t) body.size());
    append (b, body);
    if (body.size() & 1)
        b.push_back (0);
    return b;
}

inline Bytes waveFmt (int tag, int channels, int rate, int bits)
{
    Bytes f;
    le16 (f, (std::uint32_t) tag);
    le16 (f, (std::uint32_t) channels);
    le32 (f, (std::uint32_t) rate);
    // In 64 bits: the damaged headers of the tests carry channel counts up to 65535.
    le32 (f, (std::uint32_t) ((std::int64_t) rate * channels * bits / 8));
    le16 (f, (std::uint32_t) ((std::int64_t) channels * bits / 8));
    le16 (f, (std::uint32_t) bits);
    return chunkLE ("fmt ", f);
}

/** RIFF WAVE with the given chunks in order. */
inline Bytes wave (const std::vector<Bytes>& chunks)
{
    Bytes body;
    put (body, "WAVE");
    for (auto& c : chunks)
        append (body, c);
    Bytes b;
    put (b, "RIFF");
    le32 (b, (std::uint32_t) body.size());
    append (b, body);
    return b;
}

inline Bytes wave (int channels, int bits, const Bytes& data, int rate = 44100)
{
    return wave ({ waveFmt (1, channels, rate, bits), chunkLE ("data", data) });
}

inline Bytes aiffComm (int channels, std::uint32_t frames, int bits, double rate)
{
    Bytes c;
    be16 (c, (std::uint32_t) channels);
    be32 (c, frames);
    be16 (c, (std::uint32_t) bits);
    append (c, extended (rate));
    return chunkBE ("COMM", c);
}

inline Bytes aifcComm (int channels, std::uint32_t frames, int bits, double rate, const char* compression)
{
    Bytes c;
    be16 (c, (std::uint32_t) channels);
    be32 (c, frames);
    be16 (c, (std::uint32_t) bits);
    append (c, extended (rate));
    put (c, compression);
    c.push_back (0); // empty name
    c.push_back (0);
    return chunkBE ("COMM", c);
}

inline Bytes ssnd (const Bytes& data)
{
    Bytes s;
    be32 (s, 0);
    be32 (s, 0);
    append (s, data);
    return chunkBE ("SSND", s);
}

inline Bytes form (const char* kind, const std::vector<Bytes>& chunks)
{
    Bytes body;
    put (body, kind);
    for (auto& c : chunks)
        append (body, c);
    Bytes b;
    put (b, "FORM");
    be32 (b, (std::uint32_t) body.size());
    append (b, body);
    return b;
}

inline Bytes fver (std::uint32_t stamp = 0xA2805140u)
{
    Bytes v;
    be32 (v, stamp);
    return chunkBE ("FVER", v);
}

inline Bytes sun (std::uint32_t encoding, int channels, const Bytes& data, std::uint32_t sizeField, int rate = 8000)
{
    Bytes b;
    put (b, ".snd");
    be32 (b, 24);
    be32 (b, sizeField);
    be32 (b, encoding);
    be32 (b, (std::uint32_t) rate);
    be32 (b, (std::uint32_t) channels);
    append (b, data);
    return b;
}

/** Writes bytes to a fresh file under the system's temporary folder and removes it later. */
class TempFile
{
public:
    TempFile (const std::string& name, const Bytes& bytes)
    {
        static int counter = 0;
        dir = std::filesystem::temp_directory_path()
              / ("revolva_test_" + std::to_string (::getpid()) + "_" + std::to_string (++counter));
        std::filesystem::create_directories (dir);
        path = (dir / name).string();
        if (std::FILE* f = std::fopen (path.c_str(), "wb"))
        {
            if (! bytes.empty())
                std::fwrite (bytes.data(), 1, bytes.size(), f);
            std::fclose (f);
        }
    }
    ~TempFile()
    {
        std::error_code ec;
        std::filesystem::remove_all (dir, ec);
    }
    TempFile (const TempFile&) = delete;
    TempFile& operator= (const TempFile&) = delete;

    std::string path;

private:
    std::filesystem::path dir;
};
} // namespace revolvatest
