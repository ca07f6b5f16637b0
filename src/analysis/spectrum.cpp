#include <cmath>

#include "analysis/analysis.hpp"
#include "base/heap.hpp"

bool spectrum_work_init(SpectrumWork *work, uint64_t n) {
    if (!work->window.allocate(n) || !work->parts.allocate(2 * n + SpectrumWork::SPLIT_SKEW) ||
        !work->candidates.allocate(n / 2))
        return false;
    work->n = n;
    for (uint64_t i = 0; i < n; ++i) work->window[i] = window_weight(i, n);
    return true;
}

bool spectrum_db_with(SpectrumWork *work, const WavData &wav, uint32_t channel, int32_t start,
                      double floor_db, double *levels, double *magnitudes) {
    const uint64_t n = work->n;
    double *re = work->re();
    double *im = work->im();
    const double *window = work->window.data;
    // Frames outside the file come back as silence.
    if (!wav_read_channel(&wav, channel, start, n, re)) return false;
    for (uint64_t i = 0; i < n; ++i) {
        re[i] = window[i] * re[i];
        im[i] = 0.0;
    }

    fft_forward(re, im, n);

    // Magnitudes and levels may replace the parts they are made from.
    const double scale = 4.0 / static_cast<double>(n);
    for (uint64_t k = 0; k < n / 2; ++k) {
        const double m = std::hypot(re[k], im[k]) * scale;
        if (magnitudes) magnitudes[k] = m;
        levels[k] = m > 0.0 ? 20.0 * std::log10(m) : floor_db;
    }
    return true;
}

bool spectrum_db(const WavData &wav, uint32_t channel, int32_t start, uint64_t n,
                 double floor_db, double *levels, double *magnitudes) {
    SpectrumWork work;
    return spectrum_work_init(&work, n) && spectrum_db_with(&work, wav, channel, start, floor_db, levels, magnitudes);
}
