// Query geometry, window, FFT and level spectrum, against values worked out
// by hand and an independent direct DFT.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "analysis/analysis.hpp"
#include "support/wav_writer.hpp"

namespace {

std::string fmt6(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%.6f", v);
    return b;
}

TEST(QueryWindowGeometry, ValuesWorkedOutByHand) {
    const double nan = std::nan("");
    struct Row {
        uint32_t rate, query;
        uint64_t n;
        double sep_in, floor_in;
        int32_t start;
        double resolution, sep;
        const char *duration6;
    };
    const Row rows[] = {
        {48000, 48000, 4096, 0.0, -80.0, 45952, 11.71875, 46.875, "85.333333"},
        {48000, 48000, 4096, -3.0, -80.0, 45952, 11.71875, 46.875, "85.333333"},
        {48000, 48000, 4096, nan, -80.0, 45952, 11.71875, 46.875, "85.333333"},
        {48000, 48000, 4096, 10.0, 12.5, 45952, 11.71875, 10.0, "85.333333"},
        {48000, 100, 4096, 0.0, -80.0, -1948, 11.71875, 46.875, "85.333333"},
        {44100, 0, 32768, 1e-300, -200.0, -16384, 44100.0 / 32768, 1e-300, "743.038549"},
        {8000, 2147483647u, 1024, 0.0, 0.0, 2147483135, 7.8125, 31.25, "128.000000"},
        {96000, 1, 1024, 0.0, -80.0, -511, 93.75, 375.0, "10.666667"},
    };
    for (const auto &r : rows) {
        QueryWindow w = make_query_window(r.rate, r.query, r.n, r.sep_in, r.floor_in);
        SCOPED_TRACE(std::to_string(r.rate) + "/" + std::to_string(r.query) + "/" + std::to_string(r.n));
        EXPECT_EQ(w.query_sample, r.query);
        EXPECT_EQ(w.window_start, r.start);
        EXPECT_EQ(w.window_samples, r.n);
        EXPECT_EQ(w.resolution_hz, r.resolution);
        EXPECT_EQ(w.min_separation_hz, r.sep);
        EXPECT_EQ(w.noise_floor_db, r.floor_in);
        EXPECT_EQ(w.window_duration_ms, static_cast<double>(r.n) * 1000.0 / r.rate);
        EXPECT_EQ(fmt6(w.window_duration_ms), r.duration6);
    }
}

TEST(WindowWeight, ShiftedRaisedCosine) {
    for (uint64_t n : {2ull, 4ull, 7ull, 1024ull, 4096ull, 32768ull}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(window_weight(n - 2, n), 0.0);
        EXPECT_NEAR(window_weight(0, n), window_weight(n - 1, n), 1e-15);
        double edge = 0.5 * (1.0 - std::cos(6.283185307179586 / static_cast<double>(n - 1)));
        EXPECT_NEAR(window_weight(0, n), edge, 1e-15);
        long double sum = 0;
        for (uint64_t i = 0; i < n; ++i) {
            double w = window_weight(i, n);
            EXPECT_GE(w, 0.0);
            EXPECT_LE(w, 1.0);
            sum += w;
        }
        // The unshifted curve sums to (n - 1)/2; the shift trades its zero first
        // weight for one more edge weight at the end.
        if (n >= 4) {
            EXPECT_NEAR(static_cast<double>(sum), static_cast<double>(n) / 2 - 0.5 + edge, 1e-9);
        }
    }
    // The peak of the curve sits one position earlier than the unshifted one.
    EXPECT_DOUBLE_EQ(window_weight(2, 7), 1.0);
    EXPECT_DOUBLE_EQ(window_weight(1, 7), 0.75);
    EXPECT_DOUBLE_EQ(window_weight(0, 7), 0.25);
}

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
            long double ph = sign * two_pi * static_cast<long double>((k * m) % n) / static_cast<long double>(n);
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

// Two eight-point transforms with their values written out.
TEST(Fft, ImpulseAndSingleRotation) {
    std::vector<Complex> a(8, Complex{0, 0});
    a[0] = {1, 0};
    fft_in_place(a.data(), 8, false);
    for (const auto &c : a) {
        EXPECT_EQ(c.re, 1.0);
        EXPECT_EQ(c.im, 0.0);
    }
    std::vector<Complex> e(8);
    for (size_t m = 0; m < 8; ++m)
        e[m] = {std::cos(6.283185307179586 * static_cast<double>(m) / 8), std::sin(6.283185307179586 * static_cast<double>(m) / 8)};
    fft_in_place(e.data(), 8, false);
    for (size_t k = 0; k < 8; ++k) {
        EXPECT_NEAR(e[k].re, k == 1 ? 8.0 : 0.0, 1e-12) << k;
        EXPECT_NEAR(e[k].im, 0.0, 1e-12) << k;
    }
}

TEST(Fft, SizesOneAndZeroAreUntouched) {
    Complex one{0.3, -0.7};
    fft_in_place(&one, 1, false);
    fft_in_place(&one, 0, true);
    EXPECT_EQ(one.re, 0.3);
    EXPECT_EQ(one.im, -0.7);
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

TEST(Fft, InverseOfForwardRestoresInput) {
    for (size_t n : {64u, 4096u, 32768u}) {
        std::vector<Complex> x = random_complex(n, 7);
        std::vector<Complex> y = x;
        fft_in_place(y.data(), n, false);
        fft_in_place(y.data(), n, true);
        double worst = 0;
        for (size_t i = 0; i < n; ++i) worst = std::max({worst, std::fabs(y[i].re - x[i].re), std::fabs(y[i].im - x[i].im)});
        // The twiddle is advanced by repeated rotation, so rounding grows with n.
        EXPECT_LT(worst, 1e-11) << n;
    }
}

struct Spectrum {
    std::vector<double> levels, mags;
};

Spectrum spectrum(const std::vector<double> &s, uint32_t channels, uint32_t channel, int32_t start, uint64_t n,
                  double floor_db = ANALYSIS_FLOOR_DB) {
    Spectrum r{std::vector<double>(n / 2, 123.0), std::vector<double>(n / 2, 123.0)};
    EXPECT_TRUE(spectrum_db(MemoryWav(s, channels), channel, start, n, floor_db, r.levels.data(), r.mags.data()));
    return r;
}

TEST(SpectrumDb, SilenceReadsTheFloor) {
    std::vector<double> s = interleave({sine(48000, 8192, 1000, 0.5), silence(8192)});
    for (double floor_db : {-200.0, -140.0}) {
        Spectrum sp = spectrum(s, 2, 1, 1000, 4096, floor_db);
        for (size_t k = 0; k < sp.levels.size(); ++k) {
            ASSERT_EQ(sp.mags[k], 0.0) << k;
            ASSERT_EQ(sp.levels[k], floor_db) << k;
        }
    }
}

TEST(SpectrumDb, BinLevelsOfKnownTones) {
    const uint64_t frames = 96000;
    const int32_t start = 48000 - 2048;
    struct Row {
        const char *name;
        std::vector<double> signal;
        size_t bin;
        double level, tol;
    };
    const std::vector<double> on_bin = sine(48000, frames, 140.625, 1.0);
    const std::vector<double> half_bin = sine(48000, frames, 146.484375, 1.0);
    const std::vector<double> dc(frames, 1.0);
    const Row rows[] = {
        {"bin12", on_bin, 12, -0.0021, 0.00005},  {"bin11", on_bin, 11, -6.0195, 0.00005},
        {"bin13", on_bin, 13, -6.0195, 0.00005},  {"half12", half_bin, 12, -1.425, 0.0005},
        {"half13", half_bin, 13, -1.425, 0.0005}, {"dc0", dc, 0, 6.0185, 0.00005},
        {"dc1", dc, 1, 0.0011, 0.00005},
    };
    for (const auto &r : rows) {
        Spectrum sp = spectrum(r.signal, 1, 0, start, 4096);
        EXPECT_NEAR(sp.levels[r.bin], r.level, r.tol + 1e-9) << r.name;
        EXPECT_DOUBLE_EQ(sp.levels[r.bin], 20.0 * std::log10(sp.mags[r.bin])) << r.name;
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
        long double w = 0.5L * (1.0L - std::cos(static_cast<long double>(i + 1) * 6.28318530717958647692528676655900577L /
                                                static_cast<long double>(n - 1)));
        x[i] = {static_cast<double>(w * s[(10 + i) * 3 + 2]), 0.0};
    }
    std::vector<cd> ref = direct_dft(x, -1);
    Spectrum sp = spectrum(s, 3, 2, 10, n);
    std::vector<double> no_mag(n / 2);
    const std::vector<double> first_100(s.begin(), s.begin() + 300);
    ASSERT_TRUE(spectrum_db(MemoryWav(first_100, 3), 2, 10, n, -200.0, no_mag.data(), nullptr));
    EXPECT_EQ(no_mag, sp.levels);
    for (size_t k = 0; k < n / 2; ++k) {
        double m = static_cast<double>(std::abs(ref[k]) * 4.0L / n);
        EXPECT_NEAR(sp.mags[k], m, 1e-12 * std::max(1.0, m)) << k;
        EXPECT_NEAR(sp.levels[k], 20.0 * std::log10(m), 1e-9) << k;
    }
}

} // namespace
