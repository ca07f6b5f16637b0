// Where the chart places its window, and the peak label's switch to kHz:
// what it draws is in tests/cases/chart.test.
#include <gtest/gtest.h>

#include <string>

#include "report/chart.hpp"
#include "support/wav_bytes.hpp"

namespace {

// At exactly 1000 Hz, which a real tone hardly ever lands on.
TEST(SpectralChart, KilohertzLabelFromExactly1000Hz) {
    MemoryWav silent(std::vector<double>(2048, 0.0), 1);
    const double freqs[] = {999.99, 1000.0}, levels[] = {-6.0, -12.0};
    const std::vector<double> bins(512, -140.0);
    ChartCommon common;
    StrBuf page;
    strbuf_init(&page);
    ASSERT_TRUE(
        chart_common_prepare(&common, 48000, 1024) &&
        write_spectral_chart(&page, silent, 1024, -80.0, 0, "", freqs, levels, 2, bins.data(), common));
    const std::string text(page.data, page.length);
    strbuf_free(&page);
    EXPECT_NE(text.find(">1000</text>"), std::string::npos);
    EXPECT_NE(text.find(">1.00k</text>"), std::string::npos);
}

// Shifted inside the file near both ends, so its spectrum is that of real
// frames, never of padding; none in a file shorter than the window.
TEST(SpectralChart, WindowIsPlacedInsideTheFile) {
    MemoryWav audio(std::vector<double>(2 * 5000, 0.1), 2), short_file(std::vector<double>(1023, 0.1), 1);
    const int32_t cases[][2] = {{-512, 0},    {-1, 0},      {0, 0},      {1000, 1000},
                                {3976, 3976}, {3977, 3976}, {4800, 3976}};
    for (const auto &c : cases) EXPECT_EQ(chart_window_start(audio, 1024, c[0]), c[1]) << c[0];
    EXPECT_EQ(chart_window_start(short_file, 1024, 0), -1);
}

} // namespace
