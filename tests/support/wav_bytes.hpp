// WAV bytes for the unit tests: samples encoded as a writer of that encoding
// would, and whole files held in memory.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "wav/wav_internal.hpp"

using Bytes = std::vector<unsigned char>;

inline void put_le(Bytes &b, uint64_t v, int width) {
    for (int i = 0; i < width; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// Integers rounded from full scale 1.0 and clamped; floats as they are.
inline void put_sample(Bytes &b, uint32_t encoding, double value) {
    if (encoding == WAV_ENCODING_FLOAT32)
        return put_le(b, std::bit_cast<uint32_t>(static_cast<float>(value)), 4);
    if (encoding == WAV_ENCODING_FLOAT64) return put_le(b, std::bit_cast<uint64_t>(value), 8);
    const double top = std::ldexp(1.0, static_cast<int>(encoding) - 1) - 1.0;
    const double v = std::fmax(-top - 1.0, std::fmin(top, std::round(value * top)));
    put_le(b, static_cast<uint64_t>(static_cast<int64_t>(v)), static_cast<int>(encoding / 8));
}

// Loads an open input as a file or as a pipe that keeps `span`.
inline bool load_stream(FILE *input, WavData *wav, bool pipe = false, const WavSpan &span = {}) {
    WavLoad load;
    WavStep step = wav_load_begin_stream(&load, input, pipe);
    while (step == WavStep::data) step = wav_load_keep(&load, span);
    return step == WavStep::done && wav_load_end(&load, wav);
}

// Samples as a WAV file in memory (a 16-byte format chunk, then the data),
// loaded; usable wherever a const WavData & is taken.
struct MemoryWav {
    Bytes bytes;
    FILE *stream = nullptr;
    WavData wav{};
    MemoryWav(const std::vector<double> &interleaved, uint32_t channels, uint32_t rate = 48000,
              uint32_t encoding = WAV_ENCODING_FLOAT64) {
        const uint32_t bits = encoding & 0xFF, align = bits / 8 * channels;
        const uint64_t data = interleaved.size() * bits / 8;
        // Field values and widths; RIFF, WAVE, "fmt " and data as words.
        const uint64_t fields[][2] = {{0x46464952, 4}, {36 + data, 4}, {0x45564157, 4},
                                      {0x20746D66, 4}, {16, 4},        {encoding > 256 ? 3u : 1u, 2},
                                      {channels, 2},   {rate, 4},      {rate * align, 4},
                                      {align, 2},      {bits, 2},      {0x61746164, 4},
                                      {data, 4}};
        for (const auto &f : fields) put_le(bytes, f[0], static_cast<int>(f[1]));
        for (double v : interleaved) put_sample(bytes, encoding, v);
        // A real file: reads are positional, which a memory stream can't serve.
        stream = std::tmpfile();
        if (!stream || std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() ||
            std::fflush(stream) != 0 || !load_stream(stream, &wav))
            std::abort();
    }
    MemoryWav(const MemoryWav &) = delete;
    MemoryWav &operator=(const MemoryWav &) = delete;
    ~MemoryWav() {
        wav_free(&wav);
        std::fclose(stream);
    }
    operator const WavData &() const { return wav; }
};
