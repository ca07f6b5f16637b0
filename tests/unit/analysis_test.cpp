// The transforms against a direct DFT in long double and peak picking at its
// exact boundaries: what no printed digit shows (real queries: the tables).
#include <gtest/gtest.h>

#include <complex>
#include <random>

#include "analysis/analysis.hpp"
#include "analysis/analysis_internal.hpp"
#include "support/wav_bytes.hpp"

namespace {

using cd = std::complex<long double>;
const long double TWO_PI_L = 6.28318530717958647692528676655900577L;

// The phase index is reduced mod n so the reference stays accurate.
std::vector<cd> direct_dft(const std::vector<Complex> &x, int sign) {
    const size_t n = x.size();
    std::vector<cd> out(n);
    for (size_t k = 0; k < n; ++k)
        for (size_t m = 0; m < n; ++m) {
            const long double ph = sign * TWO_PI_L * static_cast<long double>((k * m) % n) / n;
            out[k] += cd(x[m].re, x[m].im) * cd(std::cos(ph), std::sin(ph));
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

// The inverse is part of the interface, but no product call takes it: one size.
TEST(Fft, MatchesDirectDftInBothDirections) {
    using Case = std::pair<size_t, bool>; // size, inverse
    for (auto [n, inverse] : {Case{2, false}, Case{4, false}, Case{16, false}, Case{64, false},
                              Case{256, false}, Case{16, true}}) {
        std::vector<Complex> x = random_complex(n, static_cast<unsigned>(n) + inverse);
        const std::vector<cd> ref = direct_dft(x, inverse ? +1 : -1);
        fft_in_place(x.data(), n, inverse);
        const long double scale = inverse ? n : 1;
        for (size_t k = 0; k < n; ++k) {
            EXPECT_NEAR(x[k].re, static_cast<double>(ref[k].real() / scale), 1e-12) << n << " " << k;
            EXPECT_NEAR(x[k].im, static_cast<double>(ref[k].imag() / scale), 1e-12) << n << " " << k;
        }
    }
}

// The run's transform weights, places and does its first stages on split
// parts with a table of twiddles: every value must be the plain transform's,
// bit for bit, at every size it is given.
TEST(Fft, SplitPartsGiveThePlainTransformExactly) {
    for (size_t n = 64; n <= 32768; n *= 2) {
        const std::vector<Complex> x = random_complex(n, static_cast<unsigned>(n) * 7);
        std::vector<double> samples(n), window(n), twiddles(2 * n), re(n, NAN), im(n, NAN);
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

// The peaks of 0.5 x 1000 Hz + 0.25 x 1100 Hz at 48000 Hz, the window in the
// middle of two seconds.
std::vector<Peak> two_tones(double separation_hz, double floor_db) {
    std::vector<double> x(96000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = 0.5 * std::sin(TWO_PI * 1000 * static_cast<double>(i) / 48000) +
               0.25 * std::sin(TWO_PI * 1100 * static_cast<double>(i) / 48000);
    const QueryWindow w = make_query_window(48000, 48000, 4096, separation_hz, floor_db);
    std::vector<Peak> out(MAX_TOP_PEAKS);
    SpectrumWork work;
    EXPECT_TRUE(spectrum_work_init(&work, w.window_samples));
    const int64_t n = analyze_channel(&work, MemoryWav(x, 1), 0, w, 5, out.data(), MAX_TOP_PEAKS,
                                      work.levels(), work.magnitudes());
    out.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
    return out;
}

// A distance equal to the separation rejects, just below it keeps; a level
// equal to the floor passes, just above it drops.
TEST(AnalyzeChannel, SeparationAndFloorBoundaries) {
    const std::vector<Peak> both = two_tones(0.0, -80.0);
    ASSERT_EQ(both.size(), 2u);
    const double dist = std::fabs(both[1].frequency_hz - both[0].frequency_hz), level = both[1].level_db;
    EXPECT_NEAR(dist, 99.996, 0.0005);
    EXPECT_EQ(two_tones(dist, -80.0).size(), 1u);
    EXPECT_EQ(two_tones(std::nextafter(dist, 0.0), -80.0).size(), 2u);
    EXPECT_EQ(two_tones(0.0, level).size(), 2u);
    EXPECT_EQ(two_tones(0.0, std::nextafter(level, 0.0)).size(), 1u);
}

// Two impulses, at the window's first sample and at its middle, make the
// transform's values exactly w0 a + w b at even bins and w0 a - w b at odd
// ones (every other term is an exact zero): every odd bin is a peak of the
// same level, and equal levels go lower frequency first.
TEST(AnalyzeChannel, EqualLevelsLowerFrequencyFirst) {
    std::vector<double> x(8192);
    x[2048] = 0.5;
    x[4096] = -0.5;
    const QueryWindow w = make_query_window(48000, 4096, 4096, 1.0, -200.0);
    SpectrumWork work;
    ASSERT_TRUE(spectrum_work_init(&work, w.window_samples));
    Peak out[5];
    ASSERT_EQ(analyze_channel(&work, MemoryWav(x, 1), 0, w, 5, out, 5, work.levels(), work.magnitudes()), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(out[i].frequency_hz, (2 * i + 1) * 11.71875) << i;
        EXPECT_EQ(out[i].level_db, out[0].level_db) << i;
    }
}

// The magnitude's hypot on every path, each row the C library's answer where
// it has no fused multiply-add: rows 1-5 are those where the plain rounded
// root is one bit off (near and far sides of the correction, and its scaled
// forms far above and below 1), then subnormals, a part too small to count,
// and a zero part.
TEST(Magnitude, HypotIsTheLibrarysOnEveryPathAndEveryLane) {
    const double rows[][3] = {
        {0x1.971a0d4e1af55p+0, 0x1.2ca9fd0640a0cp+0, 0x1.fa17f4038ad79p+0},
        {-0x1.081fc4b1dc44fp+3, -0x1.0cafbb31de9cp+0, 0x1.0a403b41c3181p+3},
        {-0x1.be677372550fdp-20, -0x1.07af7ba82eb6p-20, 0x1.033b9b4b6ef95p-19},
        {-0x1.55285d2ca9297p+700, -0x1.1722d1f3c66fap+700, 0x1.b8cd0aaf19ec8p+700},
        {0x1.747f7f984bcd4p-700, -0x1.0c76c8bc15879p-701, 0x1.8bf21b497845fp-700},
        {0x1.8p-1070, 0x1.4p-1072, 0x1.9p-1070},
        {0x1p+1000, 0x1p+900, 0x1p+1000},
        {0x1p-1000, 0x1p-1070, 0x1p-1000},
        {1.0, 0x1p-60, 1.0},
        {-0.0, 3.5, 3.5},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(exact_hypot(r[0], r[1]), r[2]) << r[0] << " " << r[1];
        EXPECT_EQ(exact_hypot(r[1], r[0]), r[2]) << r[1] << " " << r[0];
    }
    // Whole spectra, in place as the analysis runs it, with the plain, the
    // zero and the scaled paths mixed within groups of lanes.
    std::mt19937_64 gen(44);
    std::vector<double> re(4099), im(4099), want(4099);
    for (int round = 0; round < 64; ++round) {
        for (size_t k = 0; k < re.size(); ++k) {
            const int shape = static_cast<int>(gen() % 10);
            const double a = std::ldexp(static_cast<double>(gen() >> 11), -53 - static_cast<int>(gen() % 8));
            const double b = std::ldexp(static_cast<double>(gen() >> 11), -53 - static_cast<int>(gen() % 64));
            re[k] = shape == 0 ? 0.0 : shape == 4 ? std::ldexp(a, -600) : gen() % 2 ? a : -a;
            // Parts a transform of huge doubles makes: infinities and NaNs.
            if (shape == 8) re[k] = gen() % 2 ? NAN : INFINITY;
            im[k] = shape == 1 || shape == 4 ? 0.0
                    : shape == 9             ? NAN
                    : shape == 2             ? std::ldexp(b, -600)
                    : shape == 3             ? -a * 0.75
                                             : b;
            want[k] = exact_hypot(re[k], im[k]) * 0.125;
#if defined(__GLIBC__) && defined(__x86_64__)
            const double lib = std::hypot(re[k], im[k]) * 0.125;
            ASSERT_EQ(std::memcmp(&want[k], &lib, sizeof lib), 0) << re[k] << " " << im[k];
#endif
        }
        scaled_magnitudes(re.data(), im.data(), re.data(), re.size(), 0.125);
        for (size_t k = 0; k < re.size(); ++k)
            ASSERT_EQ(std::memcmp(&re[k], &want[k], sizeof re[k]), 0) << round << " " << k << " " << re[k];
    }
}

// The peaks of noise and a few tones against every candidate worked out,
// sorted and walked as written: the analysis works most of them out only
// when they could come next (and without a spectrum to leave, most levels
// not at all), and must pick the same peaks in the same order, with floors
// at the candidates' own levels (equal passes).
TEST(AnalyzeChannel, PeaksOfNoiseAsFromTheWholeSortedList) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> d(-0.5, 0.5);
    std::vector<double> x(4096);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = d(gen) + 0.01 * std::sin(static_cast<double>(i) * 0.3) +
               0.02 * std::sin(static_cast<double>(i) * 1.1);
    const MemoryWav wav(x, 1);
    SpectrumWork work;
    ASSERT_TRUE(spectrum_work_init(&work, 1024));
    Peak out[MAX_TOP_PEAKS];
    QueryWindow w = make_query_window(48000, 2048, 1024, 0.0, -300.0);
    ASSERT_GE(analyze_channel(&work, wav, 0, w, 0, out, MAX_TOP_PEAKS, work.levels(), work.magnitudes()), 0);
    const double *lv = work.levels(), *m = work.magnitudes();
    std::vector<Peak> all;
    for (size_t i = 1; i + 1 < 512; ++i) {
        if (!(lv[i] > lv[i - 1] && lv[i] > lv[i + 1])) continue;
        double delta = i == 1 ? 0.0 : ((m[i + 1] - m[i - 1]) * 2) / (2 * m[i] + m[i - 1] + m[i + 1]);
        delta = std::max(-0.5, std::min(0.5, delta));
        const double px = PI * delta;
        const double f = delta == 0.0 ? 1.0 : std::fabs(std::sin(px) / px) / (1.0 - delta * delta);
        all.push_back({(static_cast<double>(i) + delta) * w.resolution_hz, lv[i] - 20.0 * std::log10(f)});
    }
    ASSERT_GT(all.size(), 100u);
    std::stable_sort(all.begin(), all.end(),
                     [](const Peak &a, const Peak &b) { return a.level_db > b.level_db; });
    for (size_t at : {size_t{0}, size_t{3}, size_t{40}, all.size() / 2, all.size() - 1})
        for (double separation : {0.1, 30.0, 400.0}) {
            w = make_query_window(48000, 2048, 1024, separation, all[at].level_db);
            std::vector<Peak> want;
            for (const Peak &c : all) {
                bool clear = c.level_db >= w.noise_floor_db && want.size() < MAX_TOP_PEAKS;
                for (const Peak &p : want)
                    clear = clear && std::fabs(c.frequency_hz - p.frequency_hz) > separation;
                if (clear) want.push_back(c);
            }
            const int64_t got = analyze_channel(&work, wav, 0, w, MAX_TOP_PEAKS, out, MAX_TOP_PEAKS, nullptr,
                                                nullptr);
            ASSERT_EQ(got, static_cast<int64_t>(want.size())) << at << " " << separation;
            for (size_t k = 0; k < want.size(); ++k) {
                EXPECT_NEAR(out[k].frequency_hz, want[k].frequency_hz, 1e-9)
                    << at << " " << separation << " " << k;
                EXPECT_NEAR(out[k].level_db, want[k].level_db, 1e-9) << at << " " << separation << " " << k;
            }
        }
}

// Without a spectrum to leave, most bins are ordered by their squared parts
// and levels are made only where those can't tell. The peaks must be those
// of the whole spectrum, bit for bit, on every kind of window: noise with
// magnitudes about the floor's 1e-10, squares that underflow, parts that overflow, flat spectra of an impulse
// (every comparison a tie or all but one), bins of exactly 0 between others, silence.
TEST(AnalyzeChannel, PeaksWithoutTheSpectrumAreTheWholeSpectrums) {
    std::mt19937_64 gen(45);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    SpectrumWork works[3];
    for (uint64_t k = 0; k < 3; ++k) ASSERT_TRUE(spectrum_work_init(&works[k], 1024u << k));
    for (int round = 0; round < 240; ++round) {
        SpectrumWork &work = works[round % 3];
        const uint64_t n = work.n;
        const int shape = round / 3 % 8;
        const double scale = shape == 1 ? std::pow(10.0, -7.0 - d(gen) * 1.5) : shape == 2 ? 1e-300 : 1e306;
        std::vector<double> x(2 * n, 0.0);
        const QueryWindow at = make_query_window(48000, static_cast<uint32_t>(n), n, 0.0, 0.0);
        const auto start = static_cast<size_t>(at.window_start);
        for (size_t i = 0; i < x.size(); ++i) {
            // And a loud one at the last bin below Nyquist, which is never a peak.
            const double tone = std::sin(static_cast<double>(i) * 0.37) * 0.3 +
                                8.0 * std::sin(PI * (1.0 - 2.0 / static_cast<double>(n)) *
                                               static_cast<double>(i));
            x[i] = shape == 0   ? d(gen) * 0.1 + tone
                   : shape <= 3 ? (i % 7 || shape < 3 ? d(gen) * scale : 1.7e308)
                                : 0.0;
        }
        if (shape == 4 || shape == 5) x[start + (shape == 4 ? gen() % n : 0)] = d(gen);
        // Weighted alike, impulses half a window apart leave every odd bin
        // exactly 0: its level, -200 dB, above or below the even bins'.
        if (shape == 6) {
            const double a = std::pow(10.0, -1.0 - 2.0 * (d(gen) + 1.0));
            x[start] = a * window_weight(n / 2, n);
            x[start + n / 2] = a * window_weight(0, n);
        }
        const MemoryWav wav(x, 1);
        for (double floor_db : {-1e9, -80.0, -201.0})
            for (double separation : {0.0, 0.1, 900.0}) {
                const QueryWindow w = make_query_window(48000, static_cast<uint32_t>(n), n, separation,
                                                        floor_db);
                Peak want[MAX_TOP_PEAKS], got[MAX_TOP_PEAKS];
                const int64_t wanted = analyze_channel(&work, wav, 0, w, MAX_TOP_PEAKS, want, MAX_TOP_PEAKS,
                                                       work.levels(), work.magnitudes());
                ASSERT_EQ(
                    analyze_channel(&work, wav, 0, w, MAX_TOP_PEAKS, got, MAX_TOP_PEAKS, nullptr, nullptr),
                    wanted)
                    << round << " " << floor_db << " " << separation;
                ASSERT_EQ(std::memcmp(got, want, static_cast<size_t>(wanted) * sizeof(Peak)), 0) << round;
                // A flat spectrum and silence have no local maximum.
                if (shape == 5 || shape == 7) {
                    ASSERT_EQ(wanted, 0) << round;
                }
            }
    }
}

} // namespace
