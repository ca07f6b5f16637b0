#include <cstring>

#include "wav/wav_internal.hpp"

// A pipe can't go back, so its samples are taken as they pass, in the
// format in force when their chunk began (a file would apply a later
// format to earlier data).

bool wav_keep_begin(WavKeeper *keeper, const WavFormat &fmt, const WavSpan &span) {
    keeper->format = fmt;
    keeper->non_finite = UINT64_MAX;
    keeper->passed = 0;
    keeper->data.reset();
    keeper->span = {};
    const bool inside = span.channels > 0 && span.channel < fmt.channels &&
                        span.channels <= fmt.channels - span.channel && span.first >= 0;
    if (wav_frame_size(fmt) == 0 || !inside || span.frames == 0) return true;
    if (span.frames > heap_max_count<double>() / span.channels ||
        !keeper->data.allocate(span.frames * span.channels))
        return false;
    keeper->span = span;
    return true;
}

// Takes `count` whole samples, the first of which is sample `index` of the chunk.
static void take_samples(WavKeeper *keeper, const unsigned char *bytes, uint64_t index, uint64_t count) {
    const uint32_t encoding = wav_encoding(keeper->format);
    const uint64_t width = keeper->format.bits / 8;
    if (keeper->format.is_float && keeper->non_finite == UINT64_MAX) {
        const uint64_t bad = wav_find_non_finite(bytes, count, encoding);
        if (bad < count) keeper->non_finite = index + bad;
    }
    // Each kept channel's run of samples here, converted in one pass.
    const uint64_t channels = keeper->format.channels;
    const WavSpan &span = keeper->span;
    const auto kept_first = static_cast<uint64_t>(span.first);
    const uint64_t end_of_kept = kept_first + span.frames;
    for (uint64_t k = 0; k < span.channels; ++k) {
        // Frames whose sample of channel c lies in index .. index + count - 1.
        const uint64_t c = span.channel + k;
        const uint64_t from = index > c ? (index - c + channels - 1) / channels : 0;
        const uint64_t to = index + count > c ? (index + count - c + channels - 1) / channels : 0;
        const uint64_t lo = from > kept_first ? from : kept_first;
        const uint64_t hi = to < end_of_kept ? to : end_of_kept;
        if (lo < hi)
            wav_convert_run(encoding, bytes + (lo * channels + c - index) * width, channels * width, hi - lo,
                            keeper->data.data + k * span.frames + lo - kept_first);
    }
}

uint64_t wav_keep_pass(WavKeeper *keeper, WavSource *src, uint64_t size) {
    const bool readable = wav_frame_size(keeper->format) != 0;
    const uint64_t width = readable ? keeper->format.bits / 8 : 1;
    uint64_t &passed = keeper->passed;
    while (passed < size) {
        uint64_t n = source_fill(src, width);
        if (n == 0) break;
        if (n > size - passed) n = size - passed;
        // Whole samples only; a part of one ends the chunk, or the stream.
        if (readable && n >= width) {
            n -= n % width;
            take_samples(keeper, src->block + src->at, passed / width, n / width);
        }
        source_take(src, n);
        passed += n;
    }
    return passed;
}

void wav_keep_move(WavKeeper *keeper, int64_t first) {
    WavSpan &span = keeper->span;
    if (first <= span.first || span.frames == 0) return;
    const auto shift = static_cast<uint64_t>(first - span.first);
    const uint64_t stay = shift < span.frames ? span.frames - shift : 0;
    for (uint64_t k = 0; k < span.channels && stay > 0; ++k)
        std::memmove(keeper->data.data + k * span.frames, keeper->data.data + k * span.frames + shift,
                     static_cast<size_t>(stay) * sizeof(double));
    span.first = first;
}
