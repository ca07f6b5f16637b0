#include <cstring>

#include "wav/wav_internal.hpp"

enum class Chunk { data, format, other };

static Chunk chunk_kind(const unsigned char *id) {
    if (std::memcmp(id, "data", 4) == 0) return Chunk::data;
    if (std::memcmp(id, "fmt ", 4) == 0) return Chunk::format;
    return Chunk::other;
}

// Reads a "fmt " body of `size` bytes, of which min(size, 40) are at `body`;
// false when it is not integer or float PCM.
static bool parse_format(const unsigned char *body, uint32_t size, WavFormat *fmt) {
    const bool extensible = le16(body) == 0xFFFE && size >= 26;
    const uint16_t code = extensible ? le16(body + 24) : le16(body); // the sub-format, or the tag
    if (code != 1 && code != 3) // expecting integer PCM (1) or IEEE float (3)
        return wav_fail(extensible ? WavReason::sub_format : WavReason::format_code, code);
    *fmt = {true,
            code == 3,
            extensible,
            le16(body + 2),
            le32(body + 4),
            le16(body + 14),
            extensible ? le32(body + 20) : 0u};
    return true;
}

// Passes a run of empty unknown chunks (a zero-filled tail, say) where they
// lie in the block: taken one by one, gigabytes of them would take minutes.
static void pass_empty_chunks(WavSource *src) {
    while (source_fill(src, 8) >= 8) {
        const unsigned char *p = src->block + src->at;
        const unsigned char *end = src->block + src->len - 7;
        const unsigned char *q = p;
        while (q < end && le32(q + 4) == 0 && chunk_kind(q) == Chunk::other) q += 8;
        source_take(src, static_cast<uint64_t>(q - p));
        if (q < end) return;
    }
}

WavStep wav_walk(WavSource *src, WavWalk *walk) {
    unsigned char hdr[12];
    if (src->offset == 0) {
        if (!source_read(src, hdr, 12) || std::memcmp(hdr, "RIFF", 4) != 0 ||
            std::memcmp(hdr + 8, "WAVE", 4) != 0)
            return wav_fail(WavReason::not_riff), WavStep::failed;
    } else if (walk->data_arrived < walk->data_size || !source_skip(src, walk->data_size % 2)) {
        return WavStep::done; // on from a pipe's data chunk, which ended with the stream
    }
    while (source_read(src, hdr, 8)) { // a header cut short is the normal end of the walk
        const uint32_t size = le32(hdr + 4);
        const int64_t body = src->offset;
        uint64_t rest = 0; // passed after what the chunk's step read; the input may end there
        switch (chunk_kind(hdr)) {
        case Chunk::data:
            // A later data chunk replaces an earlier one.
            walk->have_data = true;
            walk->format_after_data = false;
            walk->data_size = size;
            walk->data_offset = body;
            if (src->pipe) return WavStep::data; // its bytes go to what keeps frames
            walk->data_arrived = size < src->size - body ? size : static_cast<uint64_t>(src->size - body);
            rest = uint64_t{size} + size % 2;
            break;
        case Chunk::format: {
            unsigned char fmt[40] = {};
            const uint32_t want = size < 40 ? size : 40;
            if (size < 16) return wav_fail(WavReason::short_format, size), WavStep::failed;
            if (!source_read(src, fmt, want))
                return wav_fail(WavReason::cut_short, size, source_there(src, body), hdr), WavStep::failed;
            if (!parse_format(fmt, size, &walk->format)) return WavStep::failed;
            walk->format_after_data = walk->have_data;
            rest = size - want + size % 2;
            break;
        }
        case Chunk::other: {
            // Two padding rules on purpose: an unknown chunk's body counts with
            // its pad byte, so that byte must be in the input (padded in 32-bit
            // arithmetic, as the size field itself is); "fmt " and "data" may
            // end the input without theirs. The body is checked, not kept: no
            // other part of the run reads it.
            const uint32_t padded = (size + 1u) & ~1u;
            if (!source_skip(src, padded))
                return wav_fail(WavReason::cut_short, padded, source_there(src, body), hdr), WavStep::failed;
            if (padded == 0) pass_empty_chunks(src);
            continue;
        }
        }
        if (!source_skip(src, rest)) break;
    }
    return WavStep::done;
}
