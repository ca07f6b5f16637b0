#include <cmath>
#include <cstring>

#include "analysis/analysis.hpp"

double window_weight(uint64_t i, uint64_t n) {
    // Phase index i + 1: the symmetric raised cosine advanced by one position.
    double x = static_cast<double>(i + 1) * TWO_PI / static_cast<double>(n - 1);
    return (1.0 - std::cos(x)) * 0.5;
}

// Bit-reversal permutation, as swap(i, r) of each pair once; r runs through
// the reversed indices by adding one at the top bit and carrying downwards.
template <typename Swap> static void bit_reverse(uint64_t n, Swap swap) {
    for (uint64_t i = 0, r = 0; i < n; ++i) {
        if (i < r) swap(i, r);
        uint64_t bit = n >> 1;
        while (bit && (r & bit)) {
            r ^= bit;
            bit >>= 1;
        }
        r |= bit;
    }
}

template <typename T> static void swap_values(T *a, T *b) {
    const T t = *a;
    *a = *b;
    *b = t;
}

// The stage's rotation, and the twiddle after w: one step of the recurrence
// that starts at 1 + 0i in every block.
struct Rotation {
    double c, s;
};
static Rotation stage_rotation(uint64_t len, bool inverse) {
    const double theta = (inverse ? TWO_PI : -TWO_PI) / static_cast<double>(len);
    return {std::cos(theta), std::sin(theta)};
}
static Complex rotate(Rotation r, Complex w) { return {r.c * w.re - r.s * w.im, r.s * w.re + r.c * w.im}; }

static inline void butterfly(Complex *a, Complex *b, Complex w) {
    const double tr = w.re * b->re - w.im * b->im;
    const double ti = w.re * b->im + w.im * b->re;
    const double ur = a->re;
    const double ui = a->im;
    a->re = ur + tr;
    a->im = ui + ti;
    b->re = ur - tr;
    b->im = ui - ti;
}

void fft_in_place(Complex *data, uint64_t n, bool inverse) {
    if (n <= 1) return;
    bit_reverse(n, [data](uint64_t i, uint64_t r) { swap_values(&data[i], &data[r]); });
    // Every block of a stage runs through the same twiddles, so each is made
    // once and applied to all blocks before the next.
    for (uint64_t len = 2; len <= n; len <<= 1) {
        const Rotation r = stage_rotation(len, inverse);
        const uint64_t half = len / 2;
        Complex w{1.0, 0.0};
        for (uint64_t j = 0; j < half; ++j) {
            for (uint64_t s0 = 0; s0 < n; s0 += len) butterfly(&data[s0 + j], &data[s0 + j + half], w);
            w = rotate(r, w);
        }
    }
    if (inverse) {
        double scale = static_cast<double>(n);
        for (uint64_t i = 0; i < n; ++i) {
            data[i].re /= scale;
            data[i].im /= scale;
        }
    }
}

namespace {

// Two lanes of doubles; each lane's arithmetic is the scalar operation, and
// with contraction off nothing is fused.
typedef double Pair __attribute__((vector_size(16)));

// `butterfly` on split parts.
inline void split_butterfly(double *ar, double *ai, double *br, double *bi, double wr, double wi) {
    Complex a{*ar, *ai};
    Complex b{*br, *bi};
    butterfly(&a, &b, {wr, wi});
    *ar = a.re;
    *ai = a.im;
    *br = b.re;
    *bi = b.im;
}

// `count` butterflies of one block, the operations of `butterfly` two at a
// time: a = a + w b, b = a - w b.
[[gnu::always_inline]] inline void butterflies(double *ar, double *ai, double *br, double *bi, const double *wr,
                                               const double *wi, uint64_t count) {
    uint64_t j = 0;
    for (; j + 2 <= count; j += 2) {
        Pair xr, xi, cr, ci, ur, ui;
        std::memcpy(&xr, br + j, sizeof xr);
        std::memcpy(&xi, bi + j, sizeof xi);
        std::memcpy(&cr, wr + j, sizeof cr);
        std::memcpy(&ci, wi + j, sizeof ci);
        std::memcpy(&ur, ar + j, sizeof ur);
        std::memcpy(&ui, ai + j, sizeof ui);
        const Pair tr = cr * xr - ci * xi;
        const Pair ti = cr * xi + ci * xr;
        const Pair sums[2] = {ur + tr, ui + ti};
        const Pair differences[2] = {ur - tr, ui - ti};
        std::memcpy(ar + j, &sums[0], sizeof xr);
        std::memcpy(ai + j, &sums[1], sizeof xr);
        std::memcpy(br + j, &differences[0], sizeof xr);
        std::memcpy(bi + j, &differences[1], sizeof xr);
    }
    for (; j < count; ++j) split_butterfly(ar + j, ai + j, br + j, bi + j, wr[j], wi[j]);
}

} // namespace

void fft_forward(double *re, double *im, uint64_t n) {
    if (n <= 1) return;
    bit_reverse(n, [re, im](uint64_t i, uint64_t r) {
        swap_values(&re[i], &re[r]);
        swap_values(&im[i], &im[r]);
    });
    // The first stage's blocks are single butterflies with the twiddle 1 + 0i.
    for (uint64_t s0 = 0; s0 + 1 < n; s0 += 2) split_butterfly(re + s0, im + s0, re + s0 + 1, im + s0 + 1, 1.0, 0.0);
    // Each later stage makes its twiddles a stretch at a time, by the
    // recurrence from 1 + 0i, and applies the stretch to every block.
    constexpr uint64_t STRETCH = 128;
    double wr[STRETCH];
    double wi[STRETCH];
    for (uint64_t half = 2; half < n; half <<= 1) {
        const Rotation r = stage_rotation(2 * half, false);
        Complex w{1.0, 0.0};
        for (uint64_t first = 0; first < half; first += STRETCH) {
            const uint64_t count = half - first < STRETCH ? half - first : STRETCH;
            for (uint64_t j = 0; j < count; ++j) {
                wr[j] = w.re;
                wi[j] = w.im;
                w = rotate(r, w);
            }
            for (uint64_t s0 = first; s0 < n; s0 += 2 * half)
                butterflies(re + s0, im + s0, re + s0 + half, im + s0 + half, wr, wi, count);
        }
    }
}
