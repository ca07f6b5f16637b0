// Peak picking at its exact boundaries, which no printed digit shows, and
// the window's correction factor; the worked examples are tests/cases/peaks.test.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/analysis.hpp"
#include "analysis/analysis_internal.hpp"
#include "support/wav_bytes.hpp"

namespace {

const uint32_t RATE = 48000;
const uint64_t FRAMES = 2 * RATE;

std::vector<Peak> run(const std::vector<double> &s, uint32_t channels, uint32_t channel, const QueryWindow &w,
                      uint64_t max_peaks, uint64_t capacity = MAX_TOP_PEAKS) {
    std::vector<Peak> out(MAX_TOP_PEAKS, Peak{-1.0, -1.0});
    SpectrumWork work;
    EXPECT_TRUE(spectrum_work_init(&work, w.window_samples));
    int64_t n = analyze_channel(&work, MemoryWav(s, channels), channel, w, max_peaks, out.data(), capacity,
                                work.levels(), work.magnitudes());
    EXPECT_GE(n, 0);
    out.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
    return out;
}

std::vector<double> two_tones() {
    std::vector<double> x(FRAMES);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = 0.5 * std::sin(TWO_PI * 1000 * static_cast<double>(i) / RATE) +
               0.25 * std::sin(TWO_PI * 1100 * static_cast<double>(i) / RATE);
    return x;
}
const std::vector<double> TWO_TONES = two_tones();

TEST(AnalyzeChannel, SeparationAndFloorBoundaries) {
    QueryWindow w = make_query_window(RATE, 48000, 4096, 0.0, -80.0);
    std::vector<Peak> both = run(TWO_TONES, 1, 0, w, 5);
    ASSERT_EQ(both.size(), 2u);
    const double dist = std::fabs(both[1].frequency_hz - both[0].frequency_hz);
    EXPECT_NEAR(dist, 99.996, 0.0005);
    // A distance equal to the separation rejects; just below it keeps.
    EXPECT_EQ(run(TWO_TONES, 1, 0, make_query_window(RATE, 48000, 4096, dist, -80.0), 5).size(), 1u);
    EXPECT_EQ(run(TWO_TONES, 1, 0, make_query_window(RATE, 48000, 4096, std::nextafter(dist, 0.0), -80.0), 5)
                  .size(),
              2u);
    // A level equal to the floor passes; just above it drops.
    const double lvl = both[1].level_db;
    EXPECT_EQ(run(TWO_TONES, 1, 0, make_query_window(RATE, 48000, 4096, 0.0, lvl), 5).size(), 2u);
    EXPECT_EQ(
        run(TWO_TONES, 1, 0, make_query_window(RATE, 48000, 4096, 0.0, std::nextafter(lvl, 0.0)), 5).size(),
        1u);
}

// Near zero the sinc term is taken as 1; sinc(d) / (1 - d^2) at 0.25 is
// (2 sqrt(2) / pi) / 0.9375.
TEST(PeakLevel, CorrectionFactor) {
    EXPECT_EQ(peak_correction_factor(1e-13), 1.0 / (1.0 - 1e-26));
    EXPECT_NEAR(peak_correction_factor(-0.25), 0.9603374039009133, 1e-15);
}

} // namespace
