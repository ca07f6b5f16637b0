// The reader's own pieces, for its files and their tests: the source, the
// walk, the keeper, the sample conversions and checks, block-wise reads.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>

#include "base/heap.hpp"
#include "base/platform.hpp"
#include "wav/wav.hpp"

// As wav_load_begin, on an open input that the caller keeps open until
// wav_free (a file) or until the load ends (a pipe).
WavStep wav_load_begin_stream(WavLoad *load, FILE *input, bool pipe);

// Keeps the load's first failure, taking errno for the reasons that have
// one; always false, for a caller's return.
bool wav_fail(WavReason reason, uint64_t a = 0, uint64_t b = 0, const unsigned char *chunk = nullptr);
// Bytes of a chunk whose body begins at `body` that the input holds.
uint64_t source_there(const WavSource *src, int64_t body);

// The source: at least `want` bytes at block + at (at most the block) when
// the input has them; returns how many there are.
uint64_t source_fill(WavSource *src, uint64_t want);
bool source_read(WavSource *src, unsigned char *out, uint64_t n);
// Passes n bytes; false when the input ends first, where a file's skip
// moves nothing.
bool source_skip(WavSource *src, uint64_t n);
// Bytes at block + at, that many taken.
inline void source_take(WavSource *src, uint64_t n) {
    src->at += n;
    src->offset += static_cast<int64_t>(n);
}

// The chunk walk: from the input's start (WavStep::done at its end or at a
// chunk header cut short), or on from the data chunk a pipe stopped at,
// whose bytes the caller has passed and counted in walk->data_arrived.
WavStep wav_walk(WavSource *src, WavWalk *walk);

inline uint32_t wav_encoding(const WavFormat &fmt) { return fmt.bits + (fmt.is_float ? 256u : 0u); }

// A pipe's data chunk: begins keeping `span` in the format in force (false
// when memory runs out), then passes its bytes from the source until `size`
// have passed or the input ends, in one call or several; returns how many
// have passed.
bool wav_keep_begin(WavKeeper *keeper, const WavFormat &fmt, const WavSpan &span);
uint64_t wav_keep_pass(WavKeeper *keeper, WavSource *src, uint64_t size);
// Moves the kept span forward to start at `first`: the frames both spans
// hold stay, the others are taken as they pass.
void wav_keep_move(WavKeeper *keeper, int64_t first);

// n samples `stride` bytes apart, each encoding's conversion in its own loop.
void wav_convert_run(uint32_t encoding, const unsigned char *p, uint64_t stride, uint64_t n, double *out);

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

inline int32_t int16_value(const unsigned char *p) { return static_cast<int16_t>(le16(p)); }

// The three bytes at the top of a word, shifted down with their sign.
inline int32_t int24_value(const unsigned char *p) {
    const uint32_t top = static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                         static_cast<uint32_t>(p[2]) << 24;
    return static_cast<int32_t>(top) >> 8;
}

inline int32_t int32_value(const unsigned char *p) { return static_cast<int32_t>(le32(p)); }

inline double sample_float32(const unsigned char *p) { return std::bit_cast<float>(le32(p)); }

inline double sample_float64(const unsigned char *p) {
    return std::bit_cast<double>(static_cast<uint64_t>(le32(p)) | static_cast<uint64_t>(le32(p + 4)) << 32);
}

// Bytes of one sample of an encoding.
inline uint64_t wav_sample_width(uint32_t encoding) { return (encoding & 0xFFu) / 8u; }

enum class WavBlocks { ok, stopped, no_memory, failed };

// Reads `count` items of `item_bytes` each from file offset `offset`, at most
// `block_bytes` (>= item_bytes) at a time, through `block` (null: one of its
// own), and hands each block to visit(bytes, n, done): n items that follow
// the `done` already seen. A visit that returns false stops the read. The
// file's position is left alone, so two threads may read it.
template <typename Visit> WavBlocks wav_read_blocks(FILE *f, int64_t offset, uint64_t item_bytes,
                                                    uint64_t count, unsigned char *block,
                                                    uint64_t block_bytes, Visit visit) {
    if (count == 0) return WavBlocks::ok;
    uint64_t block_items = block_bytes / item_bytes;
    if (block_items > count) block_items = count;
    HeapArray<unsigned char> own;
    if (!block && !own.allocate(block_items * item_bytes)) return WavBlocks::no_memory;
    if (!block) block = own.data;
    for (uint64_t done = 0; done < count;) {
        const uint64_t n = count - done < block_items ? count - done : block_items;
        // n items fit the block, whose size fitted the allocation.
        const size_t bytes = static_cast<size_t>(n * item_bytes);
        if (!platform_read_at(f, offset + static_cast<int64_t>(done * item_bytes), block, bytes))
            return WavBlocks::failed;
        if (!visit(block, n, done)) return WavBlocks::stopped;
        done += n;
    }
    return WavBlocks::ok;
}
