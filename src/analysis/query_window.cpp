#include "analysis/analysis.hpp"

QueryWindow make_query_window(uint32_t sample_rate, uint32_t query_sample, uint64_t n,
                              double min_separation_hz, double noise_floor_db) {
    QueryWindow w{};
    w.query_sample = query_sample;
    w.window_samples = n;
    // 32-bit wrap-around arithmetic, then read as signed: the window may start
    // before the file.
    uint32_t start = query_sample - static_cast<uint32_t>(n >> 1);
    w.window_start = static_cast<int32_t>(start);
    double rate = static_cast<double>(sample_rate);
    w.window_duration_ms = static_cast<double>(n) * 1000.0 / rate;
    w.resolution_hz = rate / static_cast<double>(n);
    // Written so that NaN also falls to the default.
    w.min_separation_hz = min_separation_hz > 0.0 ? min_separation_hz : 4.0 * w.resolution_hz;
    w.noise_floor_db = noise_floor_db;
    return w;
}

int64_t inside_window_start(uint64_t frames, uint64_t n, int32_t window_start) {
    // A data chunk holds under 2^32 bytes, and a frame at least 2.
    const auto usable = static_cast<int64_t>(frames);
    const auto length = static_cast<int64_t>(n);
    if (length > usable) return -1;
    const int64_t start = window_start > 0 ? window_start : 0;
    return start + length > usable ? usable - length : start;
}

WavSpan query_reads(int64_t query_sample, uint64_t n, int32_t channel, uint32_t channels) {
    WavSpan span{};
    span.channels = channels < MAX_CHANNEL_RESULTS ? channels : static_cast<uint32_t>(MAX_CHANNEL_RESULTS);
    if (channel >= 0) {
        span.channel = static_cast<uint32_t>(channel);
        span.channels = span.channel < channels ? 1 : 0;
    }
    // Each window, shifted inward near an end or not, lies within frames
    // q - n + 1 .. q + n/2 - 1, or 0 .. n - 1 near the start. No data chunk
    // holds 2^31 frames.
    const auto length = static_cast<int64_t>(n);
    if (query_sample < 0 || query_sample >= INT32_MAX) return span;
    span.first = query_sample - length + 1 > 0 ? query_sample - length + 1 : 0;
    const int64_t end = query_sample + length / 2 > length ? query_sample + length / 2 : length;
    span.frames = static_cast<uint64_t>(end - span.first);
    return span;
}
