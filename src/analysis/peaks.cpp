#include <algorithm>
#include <cmath>
#include <cstring>

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

// A transform's bins before their magnitudes and levels are made: the sum
// of the squared parts tells nearly every comparison of two levels, and
// each bin's magnitude and level are worked out only where it can't.
struct Squares {
    const double *re, *im;
    // re^2 + im^2 where it orders levels (2^-1000 to 2^1000: no digit lost
    // to underflow), `zero` where both parts are 0, NaN elsewhere.
    double *q;
    double scale; // magnitude_scale(n)
    double zero;  // the square of a magnitude of 1e-10, whose level is a zero's -200 dB
    double offset_db;
    double highest; // the highest q in range, or 0

    double magnitude(uint64_t k) const { return exact_hypot(re[k], im[k]) * scale; }
    double level(uint64_t k) const { return level_of(magnitude(k), ANALYSIS_FLOOR_DB); }
};

// In range, the squares and the magnitudes differ by a few units in the last
// place, and two squares 2^-20 apart are levels apart by far more than the
// logarithm's error.
static constexpr double SQUARES_LOW = 0x1p-1000, SQUARES_HIGH = 0x1p+1000, CLOSER = 1.0 + 0x1p-20,
                        FARTHER = 1.0 - 0x1p-20;

// Two bins at a time; both lanes' steps are the scalar ones.
typedef double Pair __attribute__((vector_size(16)));
typedef int64_t PairMask __attribute__((vector_size(16)));

static Squares squares_of(SpectrumWork *work) {
    const uint64_t n = work->n, bins = n / 2;
    // The upper half of the transform is never looked at: its room takes q.
    Squares s{work->re(), work->im(), work->re() + bins, magnitude_scale(n), 0.0, 0.0, 0.0};
    s.zero = 1e-20 / (s.scale * s.scale);
    s.offset_db = 3.0102999566398120 * (0.0861 - 1023.0) + 20.0 * std::log10(s.scale) + CORRECTION_BOUND_DB +
                  0.01;
    const Pair zero = {s.zero, s.zero}, unknown = {NAN, NAN};
    Pair highest = {0.0, 0.0};
    for (uint64_t k = 0; k < bins; k += 2) {
        Pair r, i;
        std::memcpy(&r, s.re + k, sizeof r);
        std::memcpy(&i, s.im + k, sizeof i);
        const Pair sq = r * r + i * i;
        const PairMask in_range = (sq >= SQUARES_LOW) & (sq <= SQUARES_HIGH);
        const PairMask both_zero = (r == 0.0) & (i == 0.0);
        const Pair q = both_zero ? zero : in_range ? sq : unknown;
        std::memcpy(s.q + k, &q, sizeof q);
        const PairMask higher = in_range & (sq > highest);
        highest = higher ? sq : highest;
    }
    s.highest = highest[0] > highest[1] ? highest[0] : highest[1];
    return s;
}

// 10 log10 2 over 2^52: see level_bounds.
static constexpr double DB_PER_BIT = 3.0102999566398120 * 0x1p-52;

// Above the level of a bin plus the largest correction, for q in range:
// log2 q is at most e + f - 1 + 0.0861 for q = 2^e f, and that is q's bits
// read as a number over 2^52, less 1023 (and `offset_db` takes that, the
// scale and the correction's 1.4237 dB, with 0.01 dB more than rounding
// could ever take away).
static double level_bound(const Squares &s, double q) {
    int64_t bits;
    std::memcpy(&bits, &q, sizeof bits);
    return static_cast<double>(bits) * DB_PER_BIT + s.offset_db;
}

// Bounds this far under the highest bin's wait in a second list: on noise
// a few dozen candidates make the first, and the selection rarely needs
// more. The lists split at a square, so that the pass over every bin tells
// which list a bin is for without its bound; a bound is the same rising
// function of the square for every bin, so those of the second list are at
// most the split's.
static constexpr double SECOND_LIST_RATIO = 0.3981071705534972; // 4 dB under, as a ratio of squares

// find_candidates' candidates of one list, with only the levels the squares
// can't order worked out: a bin is surely above another (or below it) when
// both squares are in range or zero and 2^-20 apart (two zeros are level,
// and so worked out). The first list's are those of squares at least
// `split`, or worked out, bounds at least `high`; the second list's the
// others. A square under the split is in range, and its bin's level is
// under its bound, so the first list has none: the pass for it looks
// further only at the few bins left.
template <bool second> static uint64_t find_candidates(const Squares &s, uint64_t bins, double floor_db,
                                                       PeakCandidate *out, double split, double high) {
    uint64_t count = 0;
    const double *q = s.q;
    for (uint64_t k = 1; k + 1 < bins; ++k) {
        const double c = q[k];
        if (!second && c < split) {
            // Under the split, as most squares are: four at a time.
            if (k + 5 <= bins && (q[k + 1] < split) & (q[k + 2] < split) & (q[k + 3] < split)) k += 3;
            continue;
        }
        const double l = q[k - 1], r = q[k + 1];
        const bool peak = (c > l * CLOSER) & (c > r * CLOSER);
        const bool unknown = !(peak | (c < l * FARTHER) | (c < r * FARTHER));
        // Most bins are for neither here: a branch taken rarely, where the
        // rest would cost a bound and a store on every bin.
        if (!((peak & (!second | (c < split))) | unknown)) continue;
        double bound;
        if (unknown) {
            const double level = s.level(k);
            if (!(level > s.level(k - 1) && level > s.level(k + 1))) continue;
            bound = level + CORRECTION_BOUND_DB;
            if ((bound >= high) == second) continue;
        } else {
            bound = level_bound(s, c);
        }
        if (floor_db > bound) continue;
        // Only the bound and bin here; the rest once it comes to the top.
        out[count++] = {bound, 0.0, k, false};
    }
    return count;
}

// A candidate's offset between bins, frequency and corrected level, from
// the magnitudes of its bin (b) and its neighbours (a, c) and its level.
static void refine(PeakCandidate *cand, double a, double b, double c, double level, double resolution_hz) {
    const uint64_t i = cand->bin;
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
    cand->level_db = level - 20.0 * std::log10(factor);
    cand->frequency_hz = (static_cast<double>(i) + delta) * resolution_hz;
    cand->exact = true;
}

int64_t analyze_channel(SpectrumWork *work, const WavData &wav, uint32_t channel, const QueryWindow &window,
                        uint64_t max_peaks, Peak *out, uint64_t capacity, double *levels,
                        double *magnitudes) {
    const uint64_t bins = work->n / 2;
    PeakCandidate *candidates = work->candidates;
    uint64_t left = 0;
    bool second_list = false; // not yet gathered
    Squares squares{};
    double split = 0.0, high = -INFINITY;
    if (levels) {
        if (!spectrum_db(work, wav, channel, window.window_start, ANALYSIS_FLOOR_DB, levels, magnitudes))
            return -1;
        left = find_candidates(levels, bins, window.noise_floor_db, candidates);
    } else {
        bool silent;
        if (!windowed_transform(work, wav, channel, window.window_start, &silent)) return -1;
        // Every bin's level is the floor's: no local maximum.
        if (silent) return 0;
        squares = squares_of(work);
        split = squares.highest * SECOND_LIST_RATIO;
        high = level_bound(squares, split);
        left = find_candidates<false>(squares, bins, window.noise_floor_db, candidates, split, high);
        second_list = true;
    }

    // The candidates are taken strongest first from a heap, as from the
    // sorted list, but only as many as the selection looks at. One whose
    // level is still a bound is worked out when it comes to the top, and
    // goes back in (or out, under the floor). A bound is never reached by
    // the level it stands for, so a worked-out candidate at the top comes
    // before every other. The second list is gathered into the heap only
    // when its top falls under `high`, which none of that list's bounds
    // exceeds.
    std::make_heap(candidates, candidates + left, comes_after);
    uint64_t limit = max_peaks < capacity ? max_peaks : capacity;
    uint64_t taken = 0;
    while ((left > 0 || second_list) && taken < limit) {
        if (second_list && (left == 0 || !(candidates[0].level_db >= high))) {
            // Behind the heap: no two local maxima are neighbours, so all of
            // them fit in bins / 2.
            left += find_candidates<true>(squares, bins, window.noise_floor_db, candidates + left, split,
                                          high);
            second_list = false;
            if (left == 0) break;
            std::make_heap(candidates, candidates + left, comes_after);
        }
        std::pop_heap(candidates, candidates + left, comes_after);
        PeakCandidate &cand = candidates[left - 1];
        if (!cand.exact) {
            const uint64_t i = cand.bin;
            if (levels)
                refine(&cand, magnitudes[i - 1], magnitudes[i], magnitudes[i + 1], levels[i],
                       window.resolution_hz);
            else
                refine(&cand, squares.magnitude(i - 1), squares.magnitude(i), squares.magnitude(i + 1),
                       squares.level(i), window.resolution_hz);
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
