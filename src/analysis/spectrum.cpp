#include "analysis/analysis.hpp"
#include "analysis/analysis_internal.hpp"
#include "base/heap.hpp"

static uint64_t aligned(uint64_t bytes) { return (bytes + 63) / 64 * 64; }

bool spectrum_work_init(SpectrumWork *work, uint64_t n, uint64_t kept) {
    // Far beyond any window, and small enough that no size below overflows.
    if (n > (uint64_t{1} << 40) || kept > 1024) return false;
    const uint64_t bins = n / 2;
    const uint64_t twiddles_at = aligned(n * sizeof(double));
    const uint64_t parts_at = twiddles_at + aligned(2 * n * sizeof(double));
    const uint64_t candidates_at = parts_at + aligned((2 * n + SpectrumWork::SPLIT_SKEW) * sizeof(double));
    // Local maxima stand at least two bins apart: fewer than bins / 2.
    const uint64_t listed = bins / 2 * sizeof(PeakCandidate);
    const uint64_t room = listed > n * sizeof(double) ? listed : n * sizeof(double);
    const uint64_t kept_at = candidates_at + aligned(room);
    if (!work->memory.allocate(kept_at + kept * n * sizeof(double))) return false;
    unsigned char *base = work->memory.start;
    work->n = n;
    work->window = reinterpret_cast<double *>(base);
    work->twiddles = reinterpret_cast<double *>(base + twiddles_at);
    work->parts = reinterpret_cast<double *>(base + parts_at);
    work->candidates = reinterpret_cast<PeakCandidate *>(base + candidates_at);
    work->kept_spectra = reinterpret_cast<double *>(base + kept_at);
    for (uint64_t i = 0; i < n; ++i) work->window[i] = window_weight(i, n);
    fft_twiddles(work->twiddles, n);
    return true;
}

// Whether every sample is 0 or -0: most windows end the look at their first.
static bool all_zero(const double *samples, uint64_t n) {
    for (uint64_t i = 0; i < n; ++i)
        if (samples[i] != 0.0) return false;
    return true;
}

bool windowed_transform(SpectrumWork *work, const WavData &wav, uint32_t channel, int32_t start,
                        bool *silent) {
    const uint64_t n = work->n;
    double *re = work->re();
    // Frames outside the file come back as silence. The raw bytes pass
    // through the real parts' room, which the transform fills afterwards.
    if (!wav_read_channel(&wav, channel, start, n, work->samples(), reinterpret_cast<unsigned char *>(re),
                          n * sizeof(double)))
        return false;
    if (silent && (*silent = all_zero(work->samples(), n))) return true;
    fft_forward_windowed(work->samples(), work->window, re, work->im(), n, work->twiddles);
    return true;
}

bool spectrum_db(SpectrumWork *work, const WavData &wav, uint32_t channel, int32_t start, double floor_db,
                 double *levels, double *magnitudes) {
    if (!windowed_transform(work, wav, channel, start, nullptr)) return false;
    // Magnitudes and levels may replace the parts they are made from.
    const uint64_t bins = work->n / 2;
    double *m = magnitudes ? magnitudes : levels;
    scaled_magnitudes(work->re(), work->im(), m, bins, magnitude_scale(work->n));
    for (uint64_t k = 0; k < bins; ++k) levels[k] = level_of(m[k], floor_db);
    return true;
}
