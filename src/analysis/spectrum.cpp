#include <cmath>

#include "analysis/analysis.hpp"
#include "base/heap.hpp"

bool spectrum_db(const double *samples, uint64_t frames, uint32_t channels, uint32_t channel,
                 int32_t start, uint64_t n, double floor_db, double *levels, double *magnitudes) {
    HeapArray<Complex> buf;
    if (!buf.allocate(n)) return false;

    for (uint64_t i = 0; i < n; ++i) {
        // 64-bit so that a window near the 32-bit limit cannot overflow.
        int64_t f = static_cast<int64_t>(start) + static_cast<int64_t>(i);
        double s = 0.0; // outside the file: silence
        if (f >= 0 && static_cast<uint64_t>(f) < frames)
            s = samples[static_cast<uint64_t>(f) * channels + channel];
        buf[i].re = window_weight(i, n) * s;
        buf[i].im = 0.0;
    }

    fft_in_place(buf.data, n, false);

    double scale = 4.0 / static_cast<double>(n);
    for (uint64_t k = 0; k < n / 2; ++k) {
        double m = std::hypot(buf[k].re, buf[k].im) * scale;
        if (magnitudes) magnitudes[k] = m;
        levels[k] = m > 0.0 ? 20.0 * std::log10(m) : floor_db;
    }
    return true;
}
