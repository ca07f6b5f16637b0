// The reader's own pieces, for its sources and their tests: little-endian
// fields, the sample conversions, streaming a run of fixed-size items
// through one bounded block, the float check and the loader on a stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/heap.hpp"
#include "base/platform.hpp"
#include "wav/wav.hpp"

// As wav_load, from an open seekable stream positioned at the file's start.
// The caller keeps the stream, and keeps it open until wav_free.
bool wav_load_stream(FILE *stream, WavData *out);
// As wav_load, from an input that can't seek, read once to its end; the
// caller closes it.
bool wav_load_pipe(FILE *stream, WavData *out, const WavQuery *query);

// The facts of the last "fmt " chunk.
struct FormatFacts {
    bool seen = false;
    bool is_float = false;
    bool extensible = false;
    uint32_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t bits = 0;
    uint32_t channel_mask = 0;
};
// Reads a "fmt " body of `size` bytes, of which min(size, 40) are at `body`;
// false when the chunk is too short or not integer or float PCM.
bool wav_parse_format(const unsigned char *body, uint32_t size, FormatFacts *fmt);
// Bytes per frame of a format that can be read, else 0.
uint64_t wav_frame_size(const FormatFacts &fmt);
inline uint32_t wav_encoding(const FormatFacts &fmt) { return fmt.bits + (fmt.is_float ? 256u : 0u); }
// The format facts and frame count of a loaded record.
void wav_fill(WavData *out, const FormatFacts &fmt, uint64_t frames);
// Sets the reason of a load that failed on interleaved sample `index`.
void wav_note_non_finite(uint64_t index, uint32_t channels);
// One sample of `encoding` at `p`.
double wav_convert_one(uint32_t encoding, const unsigned char *p);

// Index of the first NaN or infinity among `count` float samples of the
// given encoding, or `count` when all are finite (always for integers).
uint64_t wav_find_non_finite(const unsigned char *raw, uint64_t count, uint32_t encoding);

inline uint16_t le16(const unsigned char *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t le32(const unsigned char *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The conversions of every encoding, inline for the reading loops.
// Integers are divided by the largest positive value of their width, so
// positive full scale is exactly 1.0 and the most negative value a hair below -1.
inline constexpr double INT16_FULL_SCALE = 32767.0;
inline constexpr double INT24_FULL_SCALE = 8388607.0;
inline constexpr double INT32_FULL_SCALE = 2147483647.0;

inline double sample_int16(const unsigned char *p) {
    auto v = static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
    return static_cast<double>(v) / INT16_FULL_SCALE;
}

inline double sample_int24(const unsigned char *p) {
    int32_t v = p[0] + 256 * p[1] + 65536 * p[2];
    if (v & 0x800000) v -= 16777216;
    return static_cast<double>(v) / INT24_FULL_SCALE;
}

inline double sample_int32(const unsigned char *p) {
    auto v = static_cast<int32_t>(le32(p));
    return static_cast<double>(v) / INT32_FULL_SCALE;
}

inline double sample_float32(const unsigned char *p) {
    uint32_t u = le32(p);
    float f;
    std::memcpy(&f, &u, sizeof f);
    return static_cast<double>(f);
}

inline double sample_float64(const unsigned char *p) {
    uint64_t u = static_cast<uint64_t>(le32(p)) | static_cast<uint64_t>(le32(p + 4)) << 32;
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

enum class WavStream { ok, stopped, no_memory, failed };

// Reads `count` items of `item_bytes` each from file offset `offset`, at most
// `block_bytes` (>= item_bytes) at a time, and hands each block to
// visit(bytes, n, done): n items that follow the `done` already seen. A visit
// that returns false stops the stream.
template <typename Visit> WavStream wav_stream_items(FILE *f, int64_t offset, uint64_t item_bytes,
                                                     uint64_t count, uint64_t block_bytes, Visit visit) {
    if (count == 0) return WavStream::ok;
    uint64_t block_items = block_bytes / item_bytes;
    if (block_items > count) block_items = count;
    HeapArray<unsigned char> block;
    if (!block.allocate(block_items * item_bytes)) return WavStream::no_memory;
    if (!platform_seek(f, offset, SEEK_SET)) return WavStream::failed;
    for (uint64_t done = 0; done < count;) {
        const uint64_t n = count - done < block_items ? count - done : block_items;
        // n items fit the block, whose size fitted the allocation.
        const size_t bytes = static_cast<size_t>(n * item_bytes);
        if (std::fread(block.data, 1, bytes, f) != bytes) return WavStream::failed;
        if (!visit(block.data, n, done)) return WavStream::stopped;
        done += n;
    }
    return WavStream::ok;
}
