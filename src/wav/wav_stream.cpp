#include <cstring>

#include "base/heap.hpp"
#include "wav/wav.hpp"
#include "wav/wav_internal.hpp"

// An input that can't seek is read once, front to back, and answers as the
// same bytes in a file would, with two differences that only a stream has:
// a data chunk ends early when the stream does (a writer on a pipe can't go
// back to fill in its size), and the samples must follow the format that
// describes them (a file would apply a later format to earlier data).

namespace {

// Large enough that a pipe is read in a few calls per megabyte.
constexpr uint64_t SOURCE_BYTES = 256 * 1024;

// The stream through one block; bytes not yet taken move to the block's
// start when it is refilled, so a sample never straddles two fills.
struct Source {
    FILE *file = nullptr;
    HeapArray<unsigned char> block;
    uint64_t pos = 0;
    uint64_t len = 0;
    bool ended = false; // the end, or a read error: either ends the walk

    // At least `want` bytes (at most the block) when the stream has them;
    // returns how many there are.
    uint64_t fill(uint64_t want) {
        if (len - pos >= want || ended) return len - pos;
        std::memmove(block.data, block.data + pos, static_cast<size_t>(len - pos));
        len -= pos;
        pos = 0;
        while (len < want && !ended) {
            const size_t room = static_cast<size_t>(block.count - len);
            const size_t got = std::fread(block.data + len, 1, room, file);
            len += got;
            ended = got < room;
        }
        return len - pos;
    }
    bool read(unsigned char *out, uint64_t n) {
        if (fill(n) < n) return false;
        std::memcpy(out, block.data + pos, static_cast<size_t>(n));
        pos += n;
        return true;
    }
    // Passes up to n bytes; returns how many there were.
    uint64_t skip(uint64_t n) {
        uint64_t done = 0;
        for (uint64_t there; done < n && (there = fill(1)) > 0;) {
            const uint64_t take = there < n - done ? there : n - done;
            pos += take;
            done += take;
        }
        return done;
    }
};

// One data chunk as it passes: the frames a query's windows can reach, of
// the channels it analyses, and the first non-finite float sample.
struct DataChunk {
    FormatFacts fmt;                  // in force when the chunk began
    uint64_t frame_size = 0;          // 0: a format that can't be read
    uint64_t bytes = 0;               // arrived so far
    uint64_t non_finite = UINT64_MAX; // sample index; UINT64_MAX for none
    HeapArray<double> kept;           // owns span.data until the record takes it
    WavKept span{};
};

// Decides what the chunk keeps, by the query resolved for the format now in
// force. A valid query lies inside the recording, so each window, shifted
// inward near an end or not, lies within frames q - N + 1 .. q + N/2 - 1,
// or 0 .. N - 1 near the start. False when memory runs out.
bool begin_chunk(DataChunk *chunk, const FormatFacts &fmt, const WavQuery *query) {
    chunk->fmt = fmt;
    chunk->frame_size = fmt.seen ? wav_frame_size(fmt) : 0;
    chunk->bytes = 0;
    chunk->non_finite = UINT64_MAX;
    chunk->kept.reset();
    chunk->span = {};
    if (!query || chunk->frame_size == 0) return true;
    uint32_t first = 0;
    uint32_t count = fmt.channels < query->max_channels ? fmt.channels : query->max_channels;
    if (query->channel >= 0) {
        first = static_cast<uint32_t>(query->channel);
        count = first < fmt.channels ? 1 : 0;
    }
    const int64_t q = query->frame_at(query->context, fmt.sample_rate);
    const auto n = static_cast<int64_t>(query->window);
    // No data chunk holds 2^31 frames; a query beyond is refused after the load.
    if (count == 0 || q < 0 || q >= INT32_MAX) return true;
    const int64_t lo = q - n + 1 > 0 ? q - n + 1 : 0;
    const int64_t hi = q + n / 2 > n ? q + n / 2 : n; // one past
    const auto frames = static_cast<uint64_t>(hi - lo);
    if (!chunk->kept.allocate(frames * count)) return false;
    chunk->span = {chunk->kept.data, lo, frames, first, count};
    return true;
}

// Takes `count` whole samples, the first of which is sample `index` of the chunk.
void take_samples(DataChunk *chunk, const unsigned char *bytes, uint64_t index, uint64_t count) {
    const uint32_t encoding = wav_encoding(chunk->fmt);
    const uint64_t width = chunk->fmt.bits / 8;
    if (chunk->fmt.is_float && chunk->non_finite == UINT64_MAX) {
        const uint64_t bad = wav_find_non_finite(bytes, count, encoding);
        if (bad < count) chunk->non_finite = index + bad;
    }
    // Frame by frame over the kept ones: a file may have thousands of channels.
    const uint64_t channels = chunk->fmt.channels;
    const WavKept &span = chunk->span;
    const auto kept_first = static_cast<uint64_t>(span.first);
    const uint64_t first = index / channels > kept_first ? index / channels : kept_first;
    const uint64_t end_of_samples = (index + count + channels - 1) / channels;
    const uint64_t end_of_kept = kept_first + span.frames;
    const uint64_t end = end_of_samples < end_of_kept ? end_of_samples : end_of_kept;
    for (uint64_t f = first; f < end; ++f)
        for (uint64_t k = 0; k < span.channels; ++k) {
            const uint64_t s = f * channels + span.channel + k;
            if (s >= index && s < index + count)
                span.data[k * span.frames + f - kept_first] = wav_convert_one(encoding,
                                                                              bytes + (s - index) * width);
        }
}

// Passes a data chunk that declares `size` bytes; it ends early with the stream.
void pass_data(Source *src, DataChunk *chunk, uint64_t size) {
    const uint64_t width = chunk->frame_size ? chunk->fmt.bits / 8 : 1;
    while (chunk->bytes < size) {
        uint64_t n = src->fill(width);
        if (n == 0) return;
        if (n > size - chunk->bytes) n = size - chunk->bytes;
        // Whole samples only; a part of one ends the chunk, or the stream.
        if (chunk->frame_size && n >= width) {
            n -= n % width;
            take_samples(chunk, src->block.data + src->pos, chunk->bytes / width, n / width);
        }
        src->pos += n;
        chunk->bytes += n;
    }
}

} // namespace

bool wav_load_pipe(FILE *stream, WavData *out, const WavQuery *query) {
    Source src;
    src.file = stream;
    DataChunk chunk;
    if (!src.block.allocate(SOURCE_BYTES)) return false;
    unsigned char head[12];
    if (!src.read(head, 12) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;

    FormatFacts fmt;
    bool have_data = false;
    bool format_after_data = false;
    unsigned char hdr[8];
    while (src.read(hdr, 8)) { // a header cut short is the normal end of the walk
        const uint32_t size = le32(hdr + 4);
        uint64_t rest = 0; // passed after the chunk's body; the stream may end there
        if (std::memcmp(hdr, "data", 4) == 0) {
            // A later data chunk replaces an earlier one.
            have_data = true;
            format_after_data = false;
            if (!begin_chunk(&chunk, fmt, query)) return false;
            pass_data(&src, &chunk, size);
            if (chunk.bytes < size) break; // the stream ended
            rest = size % 2;
        } else if (std::memcmp(hdr, "fmt ", 4) == 0) {
            unsigned char body[40] = {};
            const uint32_t want = size < 40 ? size : 40;
            if (size < 16 || !src.read(body, want) || !wav_parse_format(body, size, &fmt)) return false;
            format_after_data = have_data;
            rest = size - want + size % 2;
        } else {
            // An unknown chunk's padded body must be there, as in a file.
            const uint32_t padded = (size + 1u) & ~1u;
            if (src.skip(padded) != padded) return false;
        }
        if (src.skip(rest) != rest) break;
    }

    if (!fmt.seen || !have_data || format_after_data) return false;
    const uint64_t frame_size = wav_frame_size(fmt);
    if (frame_size == 0 || chunk.bytes % frame_size != 0) return false;
    if (chunk.non_finite != UINT64_MAX) {
        wav_note_non_finite(chunk.non_finite, fmt.channels);
        return false;
    }
    wav_fill(out, fmt, chunk.bytes / frame_size);
    out->kept = chunk.span;
    chunk.kept.data = nullptr; // the record owns it now
    return true;
}
