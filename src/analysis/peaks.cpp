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
// lower frequency. As a heap's "less": a comes after b.
static constexpr auto comes_after = [](const PeakCandidate &a, const PeakCandidate &b) {
    return a.level_db < b.level_db || (a.level_db == b.level_db && a.frequency_hz > b.frequency_hz);
};

double peak_correction_factor(double offset) {
    double d2 = 1.0 - offset * offset;
    if (std::fabs(offset) < 1e-12) return 1.0 / std::fabs(d2);
    double x = PI * offset;
    return std::fabs(std::sin(x) / x) / std::fabs(d2);
}

// The correction raises a level by at most 1.4237 dB (at half a bin), so
// this stays above the level it stands for.
static constexpr double CORRECTION_BOUND_DB = 1.5;

// Local maxima of the levels, but those the floor gates out whatever their
// correction. Branch-free: on noise the test goes either way at random.
static uint64_t find_candidates(const double *levels, uint64_t bins, double floor_db, PeakCandidate *out) {
    uint64_t count = 0;
    for (uint64_t i = 1; i + 1 < bins; ++i) {
        const double bound = levels[i] + CORRECTION_BOUND_DB;
        out[count] = {bound, 0.0, i, false};
        count += (levels[i] > levels[i - 1]) & (levels[i] > levels[i + 1]) & !(floor_db > bound);
    }
    return count;
}

// A candidate's offset between bins, frequency and corrected level.
static void refine(PeakCandidate *cand, const double *levels, const double *mags, double resolution_hz) {
    const uint64_t i = cand->bin;
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
    cand->level_db = levels[i] - 20.0 * std::log10(factor);
    cand->frequency_hz = (static_cast<double>(i) + delta) * resolution_hz;
    cand->exact = true;
}

int64_t analyze_channel(SpectrumWork *work, const WavData &wav, uint32_t channel, const QueryWindow &window,
                        uint64_t max_peaks, Peak *out, uint64_t capacity, double *levels,
                        double *magnitudes) {
    const uint64_t bins = work->n / 2;
    if (!spectrum_db(work, wav, channel, window.window_start, ANALYSIS_FLOOR_DB, levels, magnitudes))
        return -1;
    PeakCandidate *candidates = work->candidates;
    const uint64_t count = find_candidates(levels, bins, window.noise_floor_db, candidates);

    // The candidates are taken strongest first from a heap, as from the
    // sorted list, but only as many as the selection looks at. One whose
    // level is still a bound is worked out when it comes to the top, and
    // goes back in (or out, under the floor). A bound is never reached by
    // the level it stands for, so a worked-out candidate at the top comes
    // before every other.
    std::make_heap(candidates, candidates + count, comes_after);
    uint64_t limit = max_peaks < capacity ? max_peaks : capacity;
    uint64_t taken = 0;
    for (uint64_t left = count; left > 0 && taken < limit;) {
        std::pop_heap(candidates, candidates + left, comes_after);
        PeakCandidate &cand = candidates[left - 1];
        if (!cand.exact) {
            refine(&cand, levels, magnitudes, window.resolution_hz);
            if (window.noise_floor_db > cand.level_db) --left;
            else std::push_heap(candidates, candidates + left, comes_after);
            continue;
        }
        --left;
        bool clear = true;
        for (uint64_t j = 0; j < taken; ++j) {
            if (!(std::fabs(cand.frequency_hz - out[j].frequency_hz) > window.min_separation_hz)) {
                clear = false;
                break;
            }
        }
        if (clear) out[taken++] = {cand.frequency_hz, cand.level_db};
    }
    return static_cast<int64_t>(taken);
}
