// Peak picking: worked examples with their peaks written out, and the
// selection rules.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/analysis.hpp"
#include "support/wav_writer.hpp"

namespace {

const uint32_t RATE = 48000;
const uint64_t FRAMES = 2 * RATE;

struct Expect {
    double freq, freq_tol, level, level_tol;
};

struct PeakCase {
    const char *name;
    std::vector<double> signal; // mono
    uint32_t query;
    double sep;
    double floor_db;
    uint64_t max_peaks;
    int64_t count; // -1: not checked, only the listed peaks are
    std::vector<Expect> peaks;
};

std::vector<Peak> run(const std::vector<double> &s, uint32_t channels, uint32_t channel, const QueryWindow &w,
                      uint64_t max_peaks, uint64_t capacity = MAX_TOP_PEAKS) {
    std::vector<Peak> out(MAX_TOP_PEAKS, Peak{-1.0, -1.0});
    int64_t n = analyze_channel(MemoryWav(s, channels), channel, w, max_peaks, out.data(), capacity);
    EXPECT_GE(n, 0);
    out.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
    return out;
}

const std::vector<double> TONE_1000 = sine(RATE, FRAMES, 1000, 0.5);
const std::vector<double> TWO_TONES = add(TONE_1000, sine(RATE, FRAMES, 1100, 0.25));

// "about" values are checked to the digits they are printed with. The two-tone
// example's own numbers are checked through the program in query_output_test.
const Expect P1000{999.9987, 0.00005, -6.0228, 0.00005};
const Expect P1000_OF_TWO{999.9992, 0.00005, -6.0235, 0.00005};

void PrintTo(const PeakCase &c, std::ostream *os) { *os << c.name; }

class WorkedPeaks : public ::testing::TestWithParam<PeakCase> {};

TEST_P(WorkedPeaks, Reproduced) {
    const PeakCase &c = GetParam();
    QueryWindow w = make_query_window(RATE, c.query, 4096, c.sep, c.floor_db);
    std::vector<Peak> got = run(c.signal, 1, 0, w, c.max_peaks);
    if (c.count >= 0) {
        ASSERT_EQ(got.size(), static_cast<size_t>(c.count));
    }
    ASSERT_GE(got.size(), c.peaks.size());
    for (size_t i = 0; i < c.peaks.size(); ++i) {
        EXPECT_NEAR(got[i].frequency_hz, c.peaks[i].freq, c.peaks[i].freq_tol + 1e-9) << i;
        EXPECT_NEAR(got[i].level_db, c.peaks[i].level, c.peaks[i].level_tol + 1e-9) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, WorkedPeaks,
    ::testing::Values(
        PeakCase{"single_1000", TONE_1000, 48000, 0.0, -80.0, 5, 1, {P1000}},
        PeakCase{"half_bin", sine(RATE, FRAMES, 146.484375, 1.0), 48000, 0.0, -80.0, 5, 1,
                 {{146.4825, 0.00005, -0.0021, 0.00005}}},
        PeakCase{"two_tones_top_0", TWO_TONES, 48000, 0.0, -80.0, 0, 0, {}},
        // Bin 1 is never interpolated: exactly one bin, uncorrected level.
        PeakCase{"bin_one", sine(RATE, FRAMES, 1.3 * RATE / 4096.0, 0.5), 48000, 0.0, -80.0, 5, 1,
                 {{11.71875, 0.0, -6.768, 0.0005}}},
        PeakCase{"silence", silence(FRAMES), 48000, 0.0, -80.0, 5, 0, {}},
        PeakCase{"half_window_silent", TONE_1000, 0, 0.0, -80.0, 5, -1, {{997.5, 0.05, -12.16, 0.005}}}),
    [](const auto &param_info) { return std::string(param_info.param.name); });

TEST(AnalyzeChannel, CapacityLimitsLikeMaxPeaks) {
    QueryWindow w = make_query_window(RATE, 48000, 4096, 0.0, -80.0);
    std::vector<Peak> out(3, Peak{-1.0, -1.0});
    EXPECT_EQ(analyze_channel(MemoryWav(TWO_TONES, 1), 0, w, 5, out.data(), 1), 1);
    EXPECT_NEAR(out[0].frequency_hz, P1000_OF_TWO.freq, P1000_OF_TWO.freq_tol);
    EXPECT_EQ(out[1].frequency_hz, -1.0);
    EXPECT_EQ(analyze_channel(MemoryWav(TWO_TONES, 1), 0, w, 5, out.data(), 0), 0);
}

TEST(AnalyzeChannel, SeparationAndFloorBoundaries) {
    QueryWindow w = make_query_window(RATE, 48000, 4096, 0.0, -80.0);
    std::vector<Peak> both = run(TWO_TONES, 1, 0, w, 5);
    ASSERT_EQ(both.size(), 2u);
    const double dist = std::fabs(both[1].frequency_hz - both[0].frequency_hz);
    EXPECT_NEAR(dist, 99.996, 0.0005);
    // A distance equal to the separation rejects; just below it keeps.
    EXPECT_EQ(run(TWO_TONES, 1, 0, make_query_window(RATE, 48000, 4096, dist, -80.0), 5).size(), 1u);
    EXPECT_EQ(run(TWO_TONES, 1, 0, make_query_window(RATE, 48000, 4096, std::nextafter(dist, 0.0), -80.0), 5).size(), 2u);
    // A level equal to the floor passes; just above it drops.
    const double lvl = both[1].level_db;
    EXPECT_EQ(run(TWO_TONES, 1, 0, make_query_window(RATE, 48000, 4096, 0.0, lvl), 5).size(), 2u);
    EXPECT_EQ(run(TWO_TONES, 1, 0, make_query_window(RATE, 48000, 4096, 0.0, std::nextafter(lvl, 0.0)), 5).size(), 1u);
}

TEST(AnalyzeChannel, RejectedCandidatesDoNotBlockOthers) {
    // Three tones 60 Hz apart, separation 100 Hz; the strongest in the middle
    // rejects both outer ones.
    std::vector<double> s = add(add(sine(RATE, FRAMES, 2000, 0.2), sine(RATE, FRAMES, 2060, 0.5)),
                                sine(RATE, FRAMES, 2120, 0.1));
    std::vector<Peak> p = run(s, 1, 0, make_query_window(RATE, 48000, 4096, 100.0, -80.0), 5);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NEAR(p[0].frequency_hz, 2060.0, 0.5);
    // Strongest at the edge: the middle one is rejected, and being only 60 Hz
    // from that rejected tone does not cost 2120 its place.
    std::vector<double> t = add(add(sine(RATE, FRAMES, 2000, 0.5), sine(RATE, FRAMES, 2060, 0.2)),
                                sine(RATE, FRAMES, 2120, 0.1));
    std::vector<Peak> q = run(t, 1, 0, make_query_window(RATE, 48000, 4096, 100.0, -80.0), 5);
    ASSERT_EQ(q.size(), 2u);
    EXPECT_NEAR(q[0].frequency_hz, 2000.0, 0.5);
    EXPECT_NEAR(q[1].frequency_hz, 2120.0, 0.5);
}

TEST(AnalyzeChannel, StrongestFirstAndBoundedByTop) {
    std::vector<double> s = silence(FRAMES);
    const double amps[] = {0.05, 0.4, 0.1, 0.8, 0.2, 0.3, 0.02};
    for (size_t i = 0; i < 7; ++i) s = add(s, sine(RATE, FRAMES, 500.0 + 700.0 * static_cast<double>(i), amps[i]));
    QueryWindow w = make_query_window(RATE, 48000, 4096, 0.0, -60.0);
    std::vector<Peak> all = run(s, 1, 0, w, 64);
    ASSERT_EQ(all.size(), 7u);
    const double order[] = {2600, 1200, 4000, 3300, 1900, 500, 4700};
    for (size_t i = 0; i < 7; ++i) EXPECT_NEAR(all[i].frequency_hz, order[i], 0.5) << i;
    std::vector<Peak> top3 = run(s, 1, 0, w, 3);
    ASSERT_EQ(top3.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(top3[i].frequency_hz, all[i].frequency_hz);
}

TEST(PeakLevel, CompareIgnoresFrequency) {
    struct Row {
        Peak a, b;
        int want;
    } rows[] = {
        {{100, -3}, {50, -6}, -1}, {{100, -6}, {50, -3}, 1}, {{100, -6}, {5000, -6}, 0}, {{1, -0.0}, {2, 0.0}, 0},
    };
    for (const auto &r : rows) EXPECT_EQ(compare_peak_level(&r.a, &r.b), r.want);
}

TEST(PeakLevel, CorrectionFactor) {
    EXPECT_EQ(peak_correction_factor(0.0), 1.0);
    EXPECT_EQ(peak_correction_factor(1e-13), 1.0 / (1.0 - 1e-26));
    // sinc(d) / (1 - d^2): at 0.5, (2 / pi) / 0.75; at 0.25, (2 * sqrt(2) / pi) / 0.9375.
    EXPECT_NEAR(peak_correction_factor(0.5), 0.8488263631567752, 1e-15);
    EXPECT_NEAR(peak_correction_factor(-0.5), 0.8488263631567752, 1e-15);
    EXPECT_NEAR(peak_correction_factor(0.25), 0.9603374039009133, 1e-15);
    // At the clamp the level rises by at most this much.
    EXPECT_NEAR(-20.0 * std::log10(peak_correction_factor(0.5)), 1.4236, 0.00005);
}

} // namespace
