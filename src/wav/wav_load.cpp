#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/platform.hpp"
#include "wav/wav.hpp"
#include "wav/wav_internal.hpp"

static const char GENERIC_REASON[] = "not a supported 16/24/32-bit integer or 32/64-bit float PCM WAV file";

// Set only by a load that fails on non-finite samples; emptied by every load.
static char g_reason[160];
static WavFailure g_failure;

bool wav_fail(WavReason reason, uint64_t a, uint64_t b, const unsigned char *chunk) {
    if (g_failure.reason != WavReason::none) return false;
    g_failure = {
        reason, reason == WavReason::cannot_open || reason == WavReason::read_error ? errno : 0, {}, a, b};
    if (chunk) std::memcpy(g_failure.chunk, chunk, 4);
    return false;
}

static void note_non_finite(uint64_t index, uint32_t channels) {
    std::snprintf(g_reason, sizeof g_reason,
                  "contains NaN or infinite samples, first at frame %" PRIu64 ", channel %" PRIu64,
                  index / channels, index % channels);
    wav_fail(WavReason::non_finite, index / channels, index % channels);
}

WavStep wav_load_begin_stream(WavLoad *load, FILE *input, bool pipe) {
    WavSource &src = load->source;
    src.file = input;
    src.pipe = pipe;
    if (!pipe) {
        // The file's size bounds every allocation and skip: no header field
        // alone decides how much memory is asked for.
        if (!platform_seek(input, 0, SEEK_END)) return wav_fail(WavReason::read_error), WavStep::failed;
        src.size = platform_tell(input);
        if (src.size < 0 || !platform_seek(input, 0, SEEK_SET))
            return wav_fail(WavReason::read_error), WavStep::failed;
    }
    return wav_walk(&src, &load->walk);
}

WavStep wav_load_begin(WavLoad *load, const char *path) {
    g_reason[0] = '\0';
    g_failure = {};
    errno = 0;
    if (!path) return wav_fail(WavReason::cannot_open), WavStep::failed;
    const bool standard_input = std::strcmp(path, "-") == 0;
    // Some systems open a directory for reading; none reads it as a file.
    if (!standard_input && platform_is_directory(path))
        return wav_fail(WavReason::directory), WavStep::failed;
    FILE *input = standard_input ? platform_stdin_binary() : platform_fopen(path, "rb");
    if (!input) return wav_fail(WavReason::cannot_open), WavStep::failed;
    load->source.owned = !standard_input;
    return wav_load_begin_stream(load, input, !platform_can_seek(input));
}

bool wav_pipe_begin(WavLoad *load, const WavSpan &span) {
    return wav_keep_begin(&load->keeper, load->walk.format, span) || wav_fail(WavReason::no_memory);
}

uint64_t wav_pipe_pass_to(WavLoad *load, uint64_t end) {
    const uint64_t frame_size = wav_frame_size(load->walk.format);
    const uint64_t want = frame_size && end < load->walk.data_size / frame_size ? end * frame_size
                                                                                : load->walk.data_size;
    const uint64_t passed = wav_keep_pass(&load->keeper, &load->source, want);
    return frame_size ? passed / frame_size : 0;
}

void wav_pipe_move(WavLoad *load, int64_t first) { wav_keep_move(&load->keeper, first); }

WavStep wav_pipe_walk_on(WavLoad *load) {
    load->walk.data_arrived = wav_keep_pass(&load->keeper, &load->source, load->walk.data_size);
    return wav_walk(&load->source, &load->walk);
}

WavData wav_pipe_view(const WavLoad &load, uint64_t frames) {
    WavData view{};
    view.sample_rate = load.walk.format.sample_rate;
    view.channels = load.walk.format.channels;
    view.encoding = wav_encoding(load.walk.format);
    view.frames = frames;
    view.from_pipe = true;
    view.kept = load.keeper.data.data;
    view.kept_span = load.keeper.span;
    return view;
}

WavStep wav_load_keep(WavLoad *load, const WavSpan &span) {
    return wav_pipe_begin(load, span) ? wav_pipe_walk_on(load) : WavStep::failed;
}

uint64_t wav_finite_parts(const WavData &wav) {
    if (wav.from_pipe || (wav.encoding != WAV_ENCODING_FLOAT32 && wav.encoding != WAV_ENCODING_FLOAT64))
        return 0;
    const uint64_t per_part = WAV_FINITE_PART_BYTES / wav_sample_width(wav.encoding);
    return (wav.frames * wav.channels + per_part - 1) / per_part;
}

WavPartCheck wav_finite_part(const WavData &wav, uint64_t part, unsigned char *block, uint64_t block_bytes) {
    const uint64_t width = wav_sample_width(wav.encoding);
    const uint64_t per_part = WAV_FINITE_PART_BYTES / width;
    const uint64_t first = part * per_part, left = wav.frames * wav.channels - first;
    WavPartCheck check{WavPartCheck::passed, 0, 0};
    errno = 0;
    const WavBlocks read = wav_read_blocks(wav.file, wav.data_offset + static_cast<int64_t>(first * width),
                                           width, left < per_part ? left : per_part, block, block_bytes,
                                           [&](const unsigned char *raw, uint64_t n, uint64_t done) {
                                               const uint64_t bad = wav_find_non_finite(raw, n, wav.encoding);
                                               check.sample = first + done + bad;
                                               return bad == n;
                                           });
    if (read == WavBlocks::stopped) check.found = WavPartCheck::not_finite;
    if (read == WavBlocks::failed) check = {WavPartCheck::unreadable, 0, errno};
    if (read == WavBlocks::no_memory) check.found = WavPartCheck::no_memory;
    return check;
}

bool wav_finite_fail(const WavData &wav, const WavPartCheck &check) {
    if (check.found == WavPartCheck::not_finite) note_non_finite(check.sample, wav.channels);
    errno = check.error;
    if (check.found == WavPartCheck::unreadable) wav_fail(WavReason::read_error);
    if (check.found == WavPartCheck::no_memory) wav_fail(WavReason::no_memory);
    return false;
}

bool wav_finite(const WavData &wav, unsigned char *block, uint64_t block_bytes) {
    const uint64_t parts = wav_finite_parts(wav);
    // One block for every part, not one each.
    HeapArray<unsigned char> own;
    if (parts && !block) {
        const uint64_t samples = wav.frames * wav.channels, width = wav_sample_width(wav.encoding);
        const uint64_t items = block_bytes / width < samples ? block_bytes / width : samples;
        if (!own.allocate(items * width)) return wav_fail(WavReason::no_memory);
        block = own.data;
        block_bytes = items * width;
    }
    for (uint64_t i = 0; i < parts; ++i)
        if (const WavPartCheck check = wav_finite_part(wav, i, block, block_bytes);
            check.found != WavPartCheck::passed)
            return wav_finite_fail(wav, check);
    return true;
}

// The first thing a format lacks, as the checks meet it: its width, then
// its channels and rate.
static bool format_checks(const WavFormat &fmt) {
    if (!fmt.seen) return wav_fail(WavReason::no_format);
    if (wav_frame_size(fmt) != 0) return true;
    if (fmt.channels != 0 && fmt.sample_rate != 0) return wav_fail(WavReason::width, fmt.bits, fmt.is_float);
    return wav_fail(fmt.channels == 0 ? WavReason::no_channels : WavReason::no_rate);
}

static bool load_checks(const WavLoad &load) {
    const WavWalk &walk = load.walk;
    const uint64_t frame_size = wav_frame_size(walk.format);
    // Whole frames only. A pipe's samples must follow the format that
    // describes them, and its data ends with the stream, as a writer that
    // can't go back to fill in its size leaves it; a file's must all be there.
    if (!format_checks(walk.format)) return false;
    if (!walk.have_data) return wav_fail(WavReason::no_data);
    if (!load.source.pipe && walk.data_arrived < walk.data_size)
        return wav_fail(WavReason::cut_short, walk.data_size, walk.data_arrived,
                        reinterpret_cast<const unsigned char *>("data"));
    if (walk.data_arrived % frame_size != 0)
        return wav_fail(WavReason::partial_frame, walk.data_arrived, frame_size);
    if (!load.source.pipe) return true;
    if (walk.format_after_data) return wav_fail(WavReason::format_after_data);
    if (load.keeper.non_finite != UINT64_MAX) note_non_finite(load.keeper.non_finite, walk.format.channels);
    return load.keeper.non_finite == UINT64_MAX;
}

bool wav_load_end(WavLoad *load, WavData *out) {
    if (!out) return false;
    std::memset(out, 0, sizeof *out);
    if (!load_checks(*load)) return false;
    const WavFormat &fmt = load->walk.format;
    out->sample_rate = fmt.sample_rate;
    out->channels = fmt.channels;
    out->encoding = wav_encoding(fmt);
    out->extensible = fmt.extensible;
    out->channel_mask = fmt.channel_mask;
    out->frames = load->walk.data_arrived / wav_frame_size(fmt);
    WavSource &src = load->source;
    out->from_pipe = src.pipe;
    if (src.pipe) {
        out->kept = load->keeper.data.release();
        out->kept_span = load->keeper.span;
    } else {
        out->owns_file = src.owned;
        out->data_offset = load->walk.data_offset;
        out->file = src.release();
    }
    if (!load->finite_later && !wav_finite(*out, nullptr, WAV_FINITE_BLOCK)) {
        wav_free(out);
        return false;
    }
    return true;
}

bool wav_load(const char *path, WavData *out) {
    if (out) std::memset(out, 0, sizeof *out);
    WavLoad load;
    WavStep step = wav_load_begin(&load, path);
    while (step == WavStep::data) step = wav_load_keep(&load, WavSpan{});
    return step == WavStep::done && wav_load_end(&load, out);
}

const char *wav_error_text() { return g_reason[0] ? g_reason : GENERIC_REASON; }

const WavFailure &wav_failure() { return g_failure; }

void wav_free(WavData *wav) {
    if (!wav) return;
    if (wav->owns_file && wav->file) std::fclose(wav->file);
    heap_free(wav->kept);
    std::memset(wav, 0, sizeof *wav);
}
