#include <cstdio>
#include <cstring>

#include "base/fixed_text.hpp"
#include "base/platform.hpp"

#include "output/output.hpp"

void print_csv_rows(const char *prefix, const ChannelResult &res) {
    // Each row made whole, then written: "%s%u,%zu,%.4f,%.4f\n".
    size_t before = std::strlen(prefix);
    if (before >= CSV_PREFIX_SIZE) before = CSV_PREFIX_SIZE - 1; // no caller's is
    char row[CSV_PREFIX_SIZE + 48 + 2 * PLATFORM_FIXED_TEXT];
    std::memcpy(row, prefix, before);
    char *const after_channel = decimal_text(row + before, res.channel);
    *after_channel = ',';
    for (uint64_t k = 0; k < res.peak_count; ++k) {
        char *p = decimal_text(after_channel + 1, k + 1);
        *p++ = ',';
        p = fixed_text(p, res.top_peaks[k].frequency_hz, 4, 0);
        *p++ = ',';
        p = fixed_text(p, res.top_peaks[k].level_db, 4, 0);
        *p++ = '\n';
        std::fwrite(row, 1, static_cast<size_t>(p - row), stdout);
    }
}

void print_csv_report(const QueryReport &report) {
    std::printf("channel,rank,frequency_hz,level_db\n");
    for (uint64_t r = 0; r < report.result_count; ++r) print_csv_rows("", report.results[r]);
}
