#include <cmath>
#include <cstring>

#include "report/page_parts.hpp"
#include "report/report.hpp"

bool scan_picture_init(ScanPicture *picture, uint32_t sample_rate, uint64_t window, uint32_t channels,
                       uint32_t top, uint64_t points) {
    ScanPicture &p = *picture;
    p.channels = channels;
    p.top = top;
    const uint64_t bins = window / 2;
    const double resolution = static_cast<double>(sample_rate) / static_cast<double>(window);
    p.low_hz = resolution > 20.0 ? resolution : 20.0;
    p.high_hz = static_cast<double>(sample_rate) / 2.0;
    p.stride = points > SCAN_PICTURE_COLUMNS ? (points + SCAN_PICTURE_COLUMNS - 1) / SCAN_PICTURE_COLUMNS : 1;
    const uint64_t cells = SCAN_PICTURE_COLUMNS * channels;
    if (!p.row_bins.allocate(2 * SCAN_PICTURE_ROWS) || !p.times.allocate(SCAN_PICTURE_COLUMNS) ||
        !p.levels.allocate(cells * SCAN_PICTURE_ROWS) || !p.peaks.allocate(cells * top) ||
        !p.peak_counts.allocate(cells) || !strbuf_reserve(&p.page.buf, PAGE_BUFFER_BYTES))
        return false;
    std::memset(p.levels.data, 0, static_cast<size_t>(p.levels.count));
    std::memset(p.peak_counts.data, 0, static_cast<size_t>(p.peak_counts.count));
    // Each row takes the loudest bin within it; a row narrower than a bin
    // takes the bin nearest its middle.
    const double ratio = std::log(p.high_hz / p.low_hz) / SCAN_PICTURE_ROWS;
    for (uint32_t r = 0; r < SCAN_PICTURE_ROWS; ++r) {
        const double f0 = p.low_hz * std::exp(ratio * r), f1 = p.low_hz * std::exp(ratio * (r + 1));
        auto first = static_cast<uint64_t>(std::ceil(f0 / resolution));
        auto end = static_cast<uint64_t>(std::ceil(f1 / resolution));
        if (end > bins) end = bins;
        if (end <= first) {
            first = static_cast<uint64_t>(std::lround(std::sqrt(f0 * f1) / resolution));
            if (first >= bins) first = bins - 1;
            end = first + 1;
        }
        p.row_bins[2 * r] = static_cast<uint32_t>(first);
        p.row_bins[2 * r + 1] = static_cast<uint32_t>(end);
    }
    return true;
}

// Keeps every other column: the stride doubles.
static void thin(ScanPicture *p) {
    const uint64_t cell = static_cast<uint64_t>(p->channels) * SCAN_PICTURE_ROWS;
    const uint64_t peaks = static_cast<uint64_t>(p->channels) * p->top;
    for (uint64_t c = 1; c < SCAN_PICTURE_COLUMNS / 2; ++c) {
        p->times[c] = p->times[2 * c];
        std::memcpy(p->levels.data + c * cell, p->levels.data + 2 * c * cell, static_cast<size_t>(cell));
        std::memcpy(p->peaks.data + c * peaks, p->peaks.data + 2 * c * peaks,
                    static_cast<size_t>(peaks) * sizeof(Peak));
        std::memcpy(p->peak_counts.data + c * p->channels, p->peak_counts.data + 2 * c * p->channels,
                    p->channels);
    }
    p->stride *= 2;
}

bool scan_picture_shows(const ScanPicture &picture, uint64_t ordinal) {
    return ordinal % picture.stride == 0;
}

void scan_picture_take(ScanPicture *picture, uint64_t ordinal, double seconds, uint32_t k,
                       const double *levels, const ChannelResult &result) {
    ScanPicture &p = *picture;
    if (k == 0 && ordinal / p.stride >= SCAN_PICTURE_COLUMNS && scan_picture_shows(p, ordinal)) thin(&p);
    if (!scan_picture_shows(p, ordinal)) return;
    const uint64_t column = ordinal / p.stride;
    const uint64_t cell = column * p.channels + k;
    p.times[column] = seconds;
    uint8_t *row = p.levels.data + cell * SCAN_PICTURE_ROWS;
    for (uint32_t r = 0; r < SCAN_PICTURE_ROWS; ++r) {
        double loudest = levels[p.row_bins[2 * r]];
        for (uint32_t b = p.row_bins[2 * r] + 1; b < p.row_bins[2 * r + 1]; ++b)
            if (levels[b] > loudest) loudest = levels[b];
        const double step = std::round((loudest - SCAN_PICTURE_LOW_DB) * 255.0 / -SCAN_PICTURE_LOW_DB);
        row[r] = static_cast<uint8_t>(step < 0.0 ? 0.0 : step > 255.0 ? 255.0 : step);
    }
    const uint64_t n = result.peak_count < p.top ? result.peak_count : p.top;
    std::memcpy(p.peaks.data + cell * p.top, result.top_peaks, static_cast<size_t>(n) * sizeof(Peak));
    p.peak_counts[cell] = static_cast<uint8_t>(n);
}
