// The FFT and the level spectrum against an independent direct DFT in long
// double; the printed values of real queries are in the case tables.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/analysis.hpp"
#include "analysis/analysis_internal.hpp"
#include "support/wav_bytes.hpp"

namespace {

using cd = std::complex<long double>;

// Straightforward O(n^2) transform; the phase index is reduced mod n so the
// reference stays accurate.
std::vector<cd> direct_dft(const std::vector<Complex> &x, int sign) {
    const size_t n = x.size();
    const long double two_pi = 6.28318530717958647692528676655900577L;
    std::vector<cd> out(n);
    for (size_t k = 0; k < n; ++k) {
        cd acc = 0;
        for (size_t m = 0; m < n; ++m) {
            long double ph = sign * two_pi * static_cast<long double>((k * m) % n) /
                             static_cast<long double>(n);
            acc += cd(x[m].re, x[m].im) * cd(std::cos(ph), std::sin(ph));
        }
        out[k] = acc;
    }
    return out;
}

std::vector<Complex> random_complex(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<Complex> x(n);
    for (auto &c : x) c = {d(gen), d(gen)};
    return x;
}

TEST(Fft, MatchesDirectDftInBothDirections) {
    for (size_t n : {2u, 4u, 16u, 64u, 256u}) {
        for (bool inverse : {false, true}) {
            std::vector<Complex> x = random_complex(n, static_cast<unsigned>(n) + inverse);
            std::vector<cd> ref = direct_dft(x, inverse ? +1 : -1);
            fft_in_place(x.data(), n, inverse);
            const long double scale = inverse ? static_cast<long double>(n) : 1.0L;
            for (size_t k = 0; k < n; ++k) {
                EXPECT_NEAR(x[k].re, static_cast<double>(ref[k].real() / scale), 1e-12) << n << " " << k;
                EXPECT_NEAR(x[k].im, static_cast<double>(ref[k].imag() / scale), 1e-12) << n << " " << k;
            }
        }
    }
}

// The run's transform places, weights and does the first stage in one pass,
// then works on split parts, stages two at a time, with a table of twiddles:
// every value must be the one of the plain transform, bit for bit, at every
// size it is given.
TEST(Fft, SplitPartsGiveThePlainTransformExactly) {
    for (size_t n = 64; n <= 4096; n *= 2) {
        // The real parts taken as samples and the imaginary ones as weights.
        const std::vector<Complex> x = random_complex(n, static_cast<unsigned>(n) * 7);
        std::vector<double> samples(n), window(n), twiddles(2 * n);
        std::vector<double> re(n, std::nan("")), im(n, std::nan("")); // every place written
        std::vector<Complex> plain(n);
        for (size_t i = 0; i < n; ++i) {
            samples[i] = x[i].re;
            window[i] = x[i].im;
            plain[i] = {window[i] * samples[i], 0.0};
        }
        fft_twiddles(twiddles.data(), n);
        fft_forward_windowed(samples.data(), window.data(), re.data(), im.data(), n, twiddles.data());
        fft_in_place(plain.data(), n, false);
        for (size_t k = 0; k < n; ++k) {
            ASSERT_EQ(std::memcmp(&re[k], &plain[k].re, sizeof(double)), 0) << n << " re " << k;
            ASSERT_EQ(std::memcmp(&im[k], &plain[k].im, sizeof(double)), 0) << n << " im " << k;
        }
    }
}

TEST(SpectrumDb, MatchesWindowedDirectDft) {
    // Channel 2 of 3, window at frames 10..73 of 100, against an independent
    // long-double computation of the window and the transform.
    std::mt19937 gen(11);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<double> s(300);
    for (auto &v : s) v = d(gen);
    const size_t n = 64;
    std::vector<Complex> x(n);
    for (size_t i = 0; i < n; ++i) {
        long double w = 0.5L * (1.0L - std::cos(static_cast<long double>(i + 1) *
                                                6.28318530717958647692528676655900577L /
                                                static_cast<long double>(n - 1)));
        x[i] = {static_cast<double>(w * s[(10 + i) * 3 + 2]), 0.0};
    }
    std::vector<cd> ref = direct_dft(x, -1);
    std::vector<double> levels(n / 2), mags(n / 2), levels_alone(n / 2);
    MemoryWav wav(s, 3);
    SpectrumWork work;
    ASSERT_TRUE(spectrum_work_init(&work, n));
    ASSERT_TRUE(spectrum_db(&work, wav, 2, 10, -200.0, levels.data(), mags.data()));
    // The magnitudes are optional and do not change the levels.
    ASSERT_TRUE(spectrum_db(&work, wav, 2, 10, -200.0, levels_alone.data(), nullptr));
    EXPECT_EQ(levels_alone, levels);
    for (size_t k = 0; k < n / 2; ++k) {
        double m = static_cast<double>(std::abs(ref[k]) * 4.0L / n);
        EXPECT_NEAR(mags[k], m, 1e-12 * std::max(1.0, m)) << k;
        EXPECT_NEAR(levels[k], 20.0 * std::log10(m), 1e-9) << k;
    }
}

} // namespace
