#include <cstdio>

#include "base/group_thousands.hpp"
#include "output/output.hpp"

void print_text_report(const QueryReport &report) {
    const QueryWindow &w = report.window;
    char sample[32];
    group_thousands(w.query_sample, sample, sizeof sample);
    std::printf("\n");
    std::printf("query time     %.3fs (sample %s @ %uHz)\n", report.query_time_s, sample, report.sample_rate);
    std::printf("window         %zu samples (%.1fms, resolution %.1fHz/bin)\n\n",
                static_cast<size_t>(w.window_samples), w.window_duration_ms, w.resolution_hz);
    for (uint64_t r = 0; r < report.result_count; ++r) {
        const ChannelResult &res = report.results[r];
        std::printf("channel %u:\n", res.channel);
        if (res.peak_count == 0) {
            std::printf("  no peaks above the noise floor in this window\n\n");
            continue;
        }
        std::printf("  dominant peak  %.1f Hz  @  %.1f dB\n\n", res.top_peaks[0].frequency_hz,
                    res.top_peaks[0].level_db);
        std::printf("  top %zu peak%s:\n", static_cast<size_t>(res.peak_count),
                    res.peak_count == 1 ? "" : "s");
        for (uint64_t k = 0; k < res.peak_count; ++k)
            std::printf("    %zu.  %.1f Hz    %.1f dB\n", static_cast<size_t>(k + 1),
                        res.top_peaks[k].frequency_hz, res.top_peaks[k].level_db);
        std::printf("\n");
    }
}
