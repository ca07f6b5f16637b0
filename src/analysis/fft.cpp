#include <cmath>

#include "analysis/analysis.hpp"

double window_weight(uint64_t i, uint64_t n) {
    // Phase index i + 1: the symmetric raised cosine advanced by one position.
    double x = static_cast<double>(i + 1) * TWO_PI / static_cast<double>(n - 1);
    return (1.0 - std::cos(x)) * 0.5;
}

// Bit-reversal permutation; r runs through the reversed indices by adding one
// at the top bit and carrying downwards.
static void bit_reverse(Complex *data, uint64_t n) {
    for (uint64_t i = 0, r = 0; i < n; ++i) {
        if (i < r) {
            Complex t = data[i];
            data[i] = data[r];
            data[r] = t;
        }
        uint64_t bit = n >> 1;
        while (bit && (r & bit)) {
            r ^= bit;
            bit >>= 1;
        }
        r |= bit;
    }
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
    bit_reverse(data, n);
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

void fft_twiddles(uint64_t n, Complex *twiddles) {
    for (uint64_t len = 2; len < n; len <<= 1) {
        const Rotation r = stage_rotation(len, false);
        Complex *stage = twiddles + (len / 2 - 1);
        Complex w{1.0, 0.0};
        for (uint64_t j = 0; j < len / 2; ++j) {
            stage[j] = w;
            w = rotate(r, w);
        }
    }
}

// A block's butterflies: the halves and the twiddles never overlap.
static void butterflies(Complex *a, Complex *b, const Complex *w, uint64_t half) {
    for (uint64_t j = 0; j < half; ++j) butterfly(&a[j], &b[j], w[j]);
}

void fft_forward(Complex *data, uint64_t n, const Complex *twiddles) {
    if (n <= 1) return;
    bit_reverse(data, n);
    for (uint64_t half = 1; half < n / 2; half <<= 1)
        for (uint64_t s0 = 0; s0 < n; s0 += 2 * half) butterflies(data + s0, data + s0 + half, twiddles + (half - 1), half);
    // The last stage is one block: its twiddles are used once, as they come.
    const Rotation r = stage_rotation(n, false);
    Complex w{1.0, 0.0};
    for (uint64_t j = 0; j < n / 2; ++j) {
        butterfly(&data[j], &data[j + n / 2], w);
        w = rotate(r, w);
    }
}
