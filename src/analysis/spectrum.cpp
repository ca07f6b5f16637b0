#include <cmath>

#include "analysis/analysis.hpp"
#include "base/heap.hpp"

bool spectrum_work_init(SpectrumWork *work, uint64_t n) {
    if (!work->window.allocate(n) || !work->twiddles.allocate(n / 2) || !work->buf.allocate(n) ||
        !work->scratch.allocate(n) || !work->candidates.allocate(n / 2))
        return false;
    for (uint64_t i = 0; i < n; ++i) work->window[i] = window_weight(i, n);
    fft_twiddles(n, work->twiddles.data);
    work->n = n;
    return true;
}

bool spectrum_db_with(SpectrumWork *work, const WavData &wav, uint32_t channel, int32_t start,
                      double floor_db, double *levels, double *magnitudes) {
    const uint64_t n = work->n;
    Complex *buf = work->buf.data;
    const double *samples = work->scratch.data; // free again once windowed
    const double *window = work->window.data;
    // Frames outside the file come back as silence.
    if (!wav_read_channel(&wav, channel, start, n, work->scratch.data)) return false;
    for (uint64_t i = 0; i < n; ++i) buf[i] = {window[i] * samples[i], 0.0};

    fft_forward(buf, n, work->twiddles.data);

    const double scale = 4.0 / static_cast<double>(n);
    for (uint64_t k = 0; k < n / 2; ++k) {
        const double m = std::hypot(buf[k].re, buf[k].im) * scale;
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
