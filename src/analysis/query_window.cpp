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
