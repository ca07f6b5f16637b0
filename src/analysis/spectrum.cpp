#include <cmath>

#include "analysis/analysis.hpp"
#include "base/heap.hpp"

bool spectrum_db(const WavData &wav, uint32_t channel, int32_t start, uint64_t n,
                 double floor_db, double *levels, double *magnitudes) {
    HeapArray<Complex> buf;
    HeapArray<double> samples;
    if (!buf.allocate(n) || !samples.allocate(n)) return false;
    // Frames outside the file come back as silence.
    if (!wav_read_channel(&wav, channel, start, n, samples.data)) return false;

    for (uint64_t i = 0; i < n; ++i) {
        buf[i].re = window_weight(i, n) * samples[i];
        buf[i].im = 0.0;
    }
    samples.reset();

    fft_in_place(buf.data, n, false);

    double scale = 4.0 / static_cast<double>(n);
    for (uint64_t k = 0; k < n / 2; ++k) {
        double m = std::hypot(buf[k].re, buf[k].im) * scale;
        if (magnitudes) magnitudes[k] = m;
        levels[k] = m > 0.0 ? 20.0 * std::log10(m) : floor_db;
    }
    return true;
}
