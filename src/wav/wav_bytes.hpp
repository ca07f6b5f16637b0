// Byte-level helpers shared by the reader's files: little-endian fields and
// streaming a run of fixed-size items through one bounded block.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/heap.hpp"

inline uint16_t le16(const unsigned char *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t le32(const unsigned char *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

enum class WavStream { ok, stopped, no_memory, failed };

// Reads `count` items of `item_bytes` each from file offset `offset`, at most
// `block_bytes` (>= item_bytes) at a time, and hands each block to
// visit(bytes, n, done): n items that follow the `done` already seen. A visit
// that returns false stops the stream.
template <typename Visit>
WavStream wav_stream_items(FILE *f, int64_t offset, uint64_t item_bytes, uint64_t count,
                           uint64_t block_bytes, Visit visit) {
    if (count == 0) return WavStream::ok;
    uint64_t block_items = block_bytes / item_bytes;
    if (block_items > count) block_items = count;
    HeapArray<unsigned char> block;
    if (!block.allocate(block_items * item_bytes)) return WavStream::no_memory;
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return WavStream::failed;
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
