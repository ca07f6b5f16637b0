#include <cstring>

#include "base/platform.hpp"
#include "wav/wav_internal.hpp"

// Bytes not yet taken move to the block's start when it is refilled, so a
// sample never straddles two fills.
uint64_t source_fill(WavSource *src, uint64_t want) {
    if (src->len - src->at >= want || src->ended) return src->len - src->at;
    std::memmove(src->block, src->block + src->at, static_cast<size_t>(src->len - src->at));
    src->len -= src->at;
    src->at = 0;
    while (src->len < want && !src->ended) {
        const size_t room = static_cast<size_t>(sizeof src->block - src->len);
        const size_t got = std::fread(src->block + src->len, 1, room, src->file);
        src->len += got;
        src->ended = got < room;
    }
    return src->len;
}

bool source_read(WavSource *src, unsigned char *out, uint64_t n) {
    if (source_fill(src, n) < n) return false;
    std::memcpy(out, src->block + src->at, static_cast<size_t>(n));
    source_take(src, n);
    return true;
}

bool source_skip(WavSource *src, uint64_t n) {
    const uint64_t there = src->len - src->at;
    if (!src->pipe && n > there) {
        if (n > static_cast<uint64_t>(src->size - src->offset)) return false;
        const int64_t to = src->offset + static_cast<int64_t>(n);
        if (!platform_seek(src->file, to, SEEK_SET)) return false;
        src->offset = to;
        src->at = src->len = 0;
        src->ended = false;
        return true;
    }
    for (uint64_t left = n; left > 0;) {
        uint64_t take = source_fill(src, 1);
        if (take == 0) return false;
        if (take > left) take = left;
        source_take(src, take);
        left -= take;
    }
    return true;
}

uint64_t source_there(const WavSource *src, int64_t body) {
    const int64_t there = src->pipe ? src->offset - body + static_cast<int64_t>(src->len - src->at)
                                    : src->size - body;
    return there > 0 ? static_cast<uint64_t>(there) : 0;
}
