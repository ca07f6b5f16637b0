#include <algorithm>
#include <cmath>

#include "analysis/analysis.hpp"
#include "analysis/analysis_internal.hpp"
#include "base/heap.hpp"

// The level of a bin of magnitude zero, below any level a peak can have.
static constexpr double ANALYSIS_FLOOR_DB = -200.0;
// The correction factor at the largest allowed offset, half a bin.
static constexpr double CORRECTION_AT_HALF_BIN = 0.8488263631567752;

// The candidates' order: highest level first, and among equal levels the
// lower frequency (the order the candidates are found in, which a stable
// sort keeps). As a heap's "less": a comes after b.
static bool comes_after(const Peak &a, const Peak &b) {
    return a.level_db < b.level_db || (a.level_db == b.level_db && a.frequency_hz > b.frequency_hz);
}

double peak_correction_factor(double offset) {
    double d2 = 1.0 - offset * offset;
    if (std::fabs(offset) < 1e-12) return 1.0 / std::fabs(d2);
    double x = PI * offset;
    return std::fabs(std::sin(x) / x) / std::fabs(d2);
}

// Local maxima of the levels, refined between bins and gated by the floor.
static uint64_t find_candidates(const double *levels, const double *mags, uint64_t bins,
                                const QueryWindow &window, Peak *out) {
    uint64_t count = 0;
    for (uint64_t i = 1; i + 1 < bins; ++i) {
        if (!(levels[i] > levels[i - 1] && levels[i] > levels[i + 1])) continue;
        double a = mags[i - 1];
        double b = mags[i];
        double c = mags[i + 1];
        double delta = ((c - a) + (c - a)) / (((b + b) + a) + c);
        double factor;
        if (i == 1) {
            // The bin next to DC is never interpolated.
            delta = 0.0;
            factor = 1.0;
        } else if (delta > 0.5) {
            delta = 0.5;
            factor = CORRECTION_AT_HALF_BIN;
        } else {
            if (delta < -0.5) delta = -0.5;
            factor = peak_correction_factor(delta);
        }
        double level = levels[i] - 20.0 * std::log10(factor);
        if (window.noise_floor_db > level) continue;
        out[count].frequency_hz = (static_cast<double>(i) + delta) * window.resolution_hz;
        out[count].level_db = level;
        ++count;
    }
    return count;
}

int64_t analyze_channel(SpectrumWork *work, const WavData &wav, uint32_t channel, const QueryWindow &window,
                        uint64_t max_peaks, Peak *out, uint64_t capacity, double *levels,
                        double *magnitudes) {
    const uint64_t bins = work->n / 2;
    if (!spectrum_db(work, wav, channel, window.window_start, ANALYSIS_FLOOR_DB, levels, magnitudes))
        return -1;
    Peak *candidates = work->candidates;
    const uint64_t count = find_candidates(levels, magnitudes, bins, window, candidates);

    // The candidates are taken strongest first from a heap, as from the
    // sorted list, but only as many as the selection looks at: most of a
    // noisy spectrum's are never reached.
    std::make_heap(candidates, candidates + count, comes_after);
    uint64_t limit = max_peaks < capacity ? max_peaks : capacity;
    uint64_t taken = 0;
    for (uint64_t left = count; left > 0 && taken < limit; --left) {
        std::pop_heap(candidates, candidates + left, comes_after);
        const Peak &cand = candidates[left - 1];
        bool clear = true;
        for (uint64_t j = 0; j < taken; ++j) {
            if (!(std::fabs(cand.frequency_hz - out[j].frequency_hz) > window.min_separation_hz)) {
                clear = false;
                break;
            }
        }
        if (clear) out[taken++] = cand;
    }
    return static_cast<int64_t>(taken);
}
