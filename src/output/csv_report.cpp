#include <cstdio>

#include "output/output.hpp"

void print_csv_rows(const char *prefix, const ChannelResult &res) {
    for (uint64_t k = 0; k < res.peak_count; ++k)
        std::printf("%s%u,%zu,%.4f,%.4f\n", prefix, res.channel, static_cast<size_t>(k + 1),
                    res.top_peaks[k].frequency_hz, res.top_peaks[k].level_db);
}

void print_csv_report(const QueryReport &report) {
    std::printf("channel,rank,frequency_hz,level_db\n");
    for (uint64_t r = 0; r < report.result_count; ++r) print_csv_rows("", report.results[r]);
}
