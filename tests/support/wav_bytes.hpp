// WAV bytes for the tests: samples encoded as a writer of that encoding
// would, format chunk bodies from raw fields, and whole files held in memory.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "wav/wav_internal.hpp"

using Bytes = std::vector<unsigned char>;

inline void put_le(Bytes &b, uint64_t v, int width) {
    for (int i = 0; i < width; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

inline void put_tag(Bytes &b, const char *four) { b.insert(b.end(), four, four + 4); }

// Integers rounded from full scale 1.0 and clamped; floats as they are.
inline void put_sample(Bytes &b, uint32_t encoding, double value) {
    if (encoding == WAV_ENCODING_FLOAT32) {
        const float f = static_cast<float>(value);
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return put_le(b, u, 4);
    }
    uint64_t u;
    std::memcpy(&u, &value, 8);
    if (encoding == WAV_ENCODING_FLOAT64) return put_le(b, u, 8);
    const double top = std::ldexp(1.0, static_cast<int>(encoding) - 1) - 1.0;
    const double v = std::fmax(-top - 1.0, std::fmin(top, std::round(value * top)));
    put_le(b, static_cast<uint64_t>(static_cast<int64_t>(v)), static_cast<int>(encoding / 8));
}

// A format chunk body of `size` bytes: the 40-byte extensible layout
// (sub-format `sub_code`), cut or zero-padded.
inline Bytes fmt_fields(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, size_t size,
                        uint32_t sub_code = 1, uint32_t channel_mask = 0) {
    const uint32_t align = bits / 8 * channels;
    Bytes b;
    for (const uint32_t v : {tag, channels}) put_le(b, v, 2);
    for (const uint32_t v : {rate, rate * align}) put_le(b, v, 4);
    for (const uint32_t v : {align, bits, 22u, bits}) put_le(b, v, 2);
    put_le(b, channel_mask, 4);
    put_le(b, sub_code, 2);
    static const unsigned char guid_tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    b.insert(b.end(), guid_tail, guid_tail + 14);
    b.resize(size, 0);
    return b;
}

// Samples as a WAV file in memory, loaded by the stream loader; usable
// wherever a const WavData & is taken.
struct MemoryWav {
    Bytes bytes;
    FILE *stream = nullptr;
    WavData wav{};
    MemoryWav(const std::vector<double> &interleaved, uint32_t channels, uint32_t rate = 48000,
              uint32_t encoding = WAV_ENCODING_FLOAT64) {
        Bytes data;
        for (double v : interleaved) put_sample(data, encoding, v);
        const Bytes fmt = fmt_fields(encoding > 256 ? 3 : 1, channels, rate, encoding & 0xFF, 16);
        put_tag(bytes, "RIFF");
        put_le(bytes, 36 + data.size(), 4);
        put_tag(bytes, "WAVE");
        put_tag(bytes, "fmt ");
        put_le(bytes, fmt.size(), 4);
        bytes.insert(bytes.end(), fmt.begin(), fmt.end());
        put_tag(bytes, "data");
        put_le(bytes, data.size(), 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        stream = fmemopen(bytes.data(), bytes.size(), "rb");
        if (!stream || !wav_load_stream(stream, &wav)) std::abort();
    }
    MemoryWav(const MemoryWav &) = delete;
    MemoryWav &operator=(const MemoryWav &) = delete;
    ~MemoryWav() {
        wav_free(&wav);
        std::fclose(stream);
    }
    operator const WavData &() const { return wav; }
};
