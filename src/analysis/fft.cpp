#include <cmath>

#include "analysis/analysis.hpp"

double window_weight(uint64_t i, uint64_t n) {
    // Phase index i + 1: the symmetric raised cosine advanced by one position.
    double x = static_cast<double>(i + 1) * TWO_PI / static_cast<double>(n - 1);
    return (1.0 - std::cos(x)) * 0.5;
}

void fft_in_place(Complex *data, uint64_t n, bool inverse) {
    if (n <= 1) return;
    // Bit-reversal permutation; r runs through the reversed indices by
    // adding one at the top bit and carrying downwards.
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

    for (uint64_t len = 2; len <= n; len <<= 1) {
        double theta = (inverse ? TWO_PI : -TWO_PI) / static_cast<double>(len);
        double s = std::sin(theta);
        double c = std::cos(theta);
        uint64_t half = len / 2;
        for (uint64_t s0 = 0; s0 < n; s0 += len) {
            // The twiddle is rotated step by step from 1 in every block; its
            // rounding is part of the result.
            double wr = 1.0;
            double wi = 0.0;
            for (uint64_t j = 0; j < half; ++j) {
                Complex &a = data[s0 + j];
                Complex &b = data[s0 + j + half];
                double tr = wr * b.re - wi * b.im;
                double ti = wr * b.im + wi * b.re;
                double ur = a.re;
                double ui = a.im;
                a.re = ur + tr;
                a.im = ui + ti;
                b.re = ur - tr;
                b.im = ui - ti;
                double nr = c * wr - s * wi;
                double ni = s * wr + c * wi;
                wr = nr;
                wi = ni;
            }
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
