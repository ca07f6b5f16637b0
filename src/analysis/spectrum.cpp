#include <cmath>

#include "analysis/analysis.hpp"
#include "base/heap.hpp"

// The FFT buffer is also read and written as plain doubles.
static_assert(sizeof(Complex) == 2 * sizeof(double), "Complex is two doubles, no padding");

bool spectrum_work_init(SpectrumWork *work, uint64_t n) {
    if (!work->window.allocate(n) || !work->twiddles.allocate(n / 2) || !work->buf.allocate(n) ||
        !work->spare.allocate(n / 2) || !work->candidates.allocate(n / 2))
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
    double *samples = reinterpret_cast<double *>(buf);
    const double *window = work->window.data;
    // Frames outside the file come back as silence.
    if (!wav_read_channel(&wav, channel, start, n, samples)) return false;
    // Windowed in place from the end: complex i covers doubles 2i and 2i + 1,
    // none of them a sample still to be read.
    for (uint64_t i = n; i-- > 0;) buf[i] = {window[i] * samples[i], 0.0};

    fft_forward(buf, n, work->twiddles.data);

    // Magnitudes may go to the buffer's first n/2 doubles: double k lies in
    // bin k/2, which is read by then.
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
