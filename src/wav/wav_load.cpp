#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/platform.hpp"
#include "wav/wav.hpp"
#include "wav/wav_internal.hpp"

static const char GENERIC_REASON[] = "not a supported 16/24/32-bit integer or 32/64-bit float PCM WAV file";

// Set only by a load that fails on non-finite samples; emptied by every load.
static char g_reason[160];

namespace {

struct FileOwner {
    FILE *file = nullptr;
    bool owned = true; // standard input is not ours to close
    FileOwner() = default;
    FileOwner(const FileOwner &) = delete;
    FileOwner &operator=(const FileOwner &) = delete;
    ~FileOwner() {
        if (file && owned) std::fclose(file);
    }
};

} // namespace

bool wav_parse_format(const unsigned char *body, uint32_t size, FormatFacts *fmt) {
    if (size < 16) return false; // too short for the basic fields
    uint16_t tag = le16(body);
    bool is_float;
    bool extensible = false;
    uint32_t mask = 0;
    if (tag == 0xFFFE && size >= 26) {
        uint16_t sub = le16(body + 24);
        if (sub != 1 && sub != 3) return false; // expecting integer or float sub-format
        is_float = sub == 3;
        extensible = true;
        mask = le32(body + 20);
    } else {
        if (tag != 1 && tag != 3) return false; // expecting PCM (1) or IEEE float (3)
        is_float = tag == 3;
    }
    fmt->seen = true;
    fmt->is_float = is_float;
    fmt->extensible = extensible;
    fmt->channel_mask = mask;
    fmt->channels = le16(body + 2);
    fmt->sample_rate = le32(body + 4);
    fmt->bits = le16(body + 14);
    return true;
}

// Reads a "fmt " chunk body of `size` bytes at the current position.
static bool read_format(FILE *f, uint32_t size, FormatFacts *fmt) {
    unsigned char body[40] = {};
    size_t want = size < 40 ? size : 40;
    return size >= 16 && std::fread(body, 1, want, f) == want && wav_parse_format(body, size, fmt);
}

uint64_t wav_frame_size(const FormatFacts &fmt) {
    const bool width_ok = fmt.is_float ? fmt.bits == 32 || fmt.bits == 64
                                       : fmt.bits == 16 || fmt.bits == 24 || fmt.bits == 32;
    if (!width_ok || fmt.channels == 0 || fmt.sample_rate == 0) return 0;
    return static_cast<uint64_t>(fmt.bits / 8) * fmt.channels;
}

void wav_fill(WavData *out, const FormatFacts &fmt, uint64_t frames) {
    out->sample_rate = fmt.sample_rate;
    out->channels = fmt.channels;
    out->encoding = wav_encoding(fmt);
    out->extensible = fmt.extensible;
    out->channel_mask = fmt.channel_mask;
    out->frames = frames;
}

void wav_note_non_finite(uint64_t index, uint32_t channels) {
    std::snprintf(g_reason, sizeof g_reason,
                  "contains NaN or infinite samples, first at frame %" PRIu64 ", channel %" PRIu64,
                  index / channels, index % channels);
}

// Float data must not hold NaN or infinity anywhere, so the whole chunk is
// streamed through a fixed block; the first one found is reported by frame
// and channel.
static bool scan_for_non_finite(FILE *f, int64_t data_pos, uint32_t data_size, uint32_t encoding,
                                uint32_t channels) {
    const uint64_t width = (encoding - 256u) / 8u;
    const auto finite = [&](const unsigned char *block, uint64_t n, uint64_t done) {
        const uint64_t bad = wav_find_non_finite(block, n, encoding);
        if (bad == n) return true;
        wav_note_non_finite(done + bad, channels);
        return false;
    };
    // 256 KiB blocks fit in the second-level cache.
    return wav_stream_items(f, data_pos, width, data_size / width, 256u << 10, finite) == WavStream::ok;
}

static bool is_known_chunk(const unsigned char *id) {
    return std::memcmp(id, "data", 4) == 0 || std::memcmp(id, "fmt ", 4) == 0;
}

// Passes a run of empty unknown chunks (a zero-filled tail, say) a block at a
// time, and stops at the first header that is anything else: one header at a
// time, gigabytes of them would take minutes. False when the position is lost.
static bool skip_empty_chunks(FILE *f, int64_t at) {
    unsigned char block[16384];
    for (;;) {
        const size_t got = std::fread(block, 1, sizeof block, f);
        size_t i = 0;
        while (i + 8 <= got && le32(block + i + 4) == 0 && !is_known_chunk(block + i)) i += 8;
        if (i + 8 <= got || got < sizeof block)
            return platform_seek(f, at + static_cast<int64_t>(i), SEEK_SET);
        at += static_cast<int64_t>(got);
    }
}

// The whole load on an open stream; the caller closes it on failure.
static bool load_stream(FILE *f, WavData *out) {

    // The file's size bounds every allocation below: no header field alone
    // decides how much memory is asked for.
    if (!platform_seek(f, 0, SEEK_END)) return false;
    const int64_t file_size = platform_tell(f);
    if (file_size < 0 || !platform_seek(f, 0, SEEK_SET)) return false;

    unsigned char head[12];
    if (std::fread(head, 1, 12, f) != 12) return false;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;

    FormatFacts fmt;
    bool have_data = false;
    uint32_t data_size = 0;
    int64_t data_pos = 0;

    for (;;) {
        unsigned char hdr[8];
        if (std::fread(hdr, 1, 8, f) != 8) break; // the normal end of the walk
        const int64_t body_pos = platform_tell(f);
        if (body_pos < 0) return false;
        uint32_t size = le32(hdr + 4);

        if (std::memcmp(hdr, "data", 4) == 0) {
            // A later data chunk replaces an earlier one.
            have_data = true;
            data_size = size;
            data_pos = body_pos;
        } else if (std::memcmp(hdr, "fmt ", 4) == 0) {
            if (!read_format(f, size, &fmt)) return false;
        } else {
            // Two padding rules on purpose: an unknown chunk's body counts with
            // its pad byte, so that byte must be in the file (padded in 32-bit
            // arithmetic, as the size field itself is); "fmt " and "data" are
            // passed by a seek, which may land past the end, so an odd data
            // chunk that ends the file without its pad byte still loads. The
            // body is checked, not kept: no other part of the run reads it.
            const uint32_t padded = (size + 1u) & ~1u;
            if (padded > file_size - body_pos) return false; // runs past the end
            if (!(padded == 0 ? skip_empty_chunks(f, body_pos)
                              : platform_seek(f, body_pos + padded, SEEK_SET)))
                return false;
            continue;
        }
        // Past the end, the walk is over as the read of a header there would
        // find.
        const int64_t next = body_pos + size + size % 2;
        if (next > file_size || !platform_seek(f, next, SEEK_SET)) break;
    }

    if (!fmt.seen || !have_data) return false;
    const uint64_t frame_size = wav_frame_size(fmt);
    if (frame_size == 0 || data_size % frame_size != 0) return false; // a truncated last frame
    // The whole data chunk must be in the file, even though frames are read
    // only when a window asks for them.
    if (data_size > file_size - data_pos) return false;

    const uint32_t encoding = wav_encoding(fmt);
    if (fmt.is_float && !scan_for_non_finite(f, data_pos, data_size, encoding, fmt.channels)) return false;

    wav_fill(out, fmt, data_size / frame_size);
    out->file = f;
    out->data_offset = data_pos;
    return true;
}

bool wav_load(const char *path, WavData *out, const WavQuery *query) {
    g_reason[0] = '\0';
    if (!path || !out) return false;
    std::memset(out, 0, sizeof *out);
    const bool standard_input = std::strcmp(path, "-") == 0;
    FileOwner file;
    file.owned = !standard_input;
    file.file = standard_input ? platform_stdin_binary() : platform_fopen(path, "rb");
    if (!file.file) return false;
    if (!platform_can_seek(file.file)) return wav_load_pipe(file.file, out, query);
    if (!load_stream(file.file, out)) return false;
    out->owns_file = file.owned;
    file.file = nullptr; // the record holds it now
    return true;
}

bool wav_load_stream(FILE *stream, WavData *out) {
    g_reason[0] = '\0';
    if (!stream || !out) return false;
    std::memset(out, 0, sizeof *out);
    return load_stream(stream, out);
}

const char *wav_error_text() { return g_reason[0] ? g_reason : GENERIC_REASON; }

void wav_free(WavData *wav) {
    if (!wav) return;
    if (wav->owns_file && wav->file) std::fclose(wav->file);
    heap_free(wav->kept.data);
    std::memset(wav, 0, sizeof *wav);
}
