// Where the chart places its window: what it draws is in tests/cases/chart.test.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/analysis.hpp"
#include "report/report.hpp"
#include "support/wav_writer.hpp"

namespace {

// Owns a StrBuf for one test.
struct Page {
    StrBuf buf;
    Page() { strbuf_init(&buf); }
    ~Page() { strbuf_free(&buf); }
    std::string text() const { return buf.data ? std::string(buf.data, buf.length) : std::string(); }
};

// The numbers of the chart's "ref" trace.
std::vector<double> ref_trace(const std::string &page) {
    std::vector<double> v;
    const size_t at = page.find("\"ref\":[");
    if (at == std::string::npos) return v;
    const char *p = page.c_str() + at + 7;
    for (char *end = nullptr; *p != ']'; p = end + (*end == ',')) {
        v.push_back(std::strtod(p, &end));
        if (end == p) break;
    }
    return v;
}

// A peak's label switches to kHz at exactly 1000 Hz, which a real tone
// hardly ever lands on.
TEST(SpectralChart, KilohertzLabelFromExactly1000Hz) {
    MemoryWav silent(std::vector<double>(2048, 0.0), 1);
    const double freqs[] = {999.99, 1000.0};
    const double levels[] = {-6.0, -12.0};
    Page p;
    ASSERT_TRUE(write_spectral_chart(&p.buf, silent, 1024, -80.0, 0, "", 0, freqs, levels, 2, {}));
    EXPECT_NE(p.text().find(">1000</text>"), std::string::npos);
    EXPECT_NE(p.text().find(">1.00k</text>"), std::string::npos);
}

// The chart's window is shifted inside the file near both ends, so its
// spectrum is that of real frames, never of zero padding.
TEST(SpectralChart, WindowIsPlacedInsideTheFile) {
    const uint64_t frames = 5000;
    const uint64_t n = 1024;
    std::vector<double> mono(frames);
    for (uint64_t i = 0; i < frames; ++i)
        mono[i] = 0.5 * std::sin(0.3 * static_cast<double>(i)) + 0.25 * std::sin(0.0011 * static_cast<double>(i * i));
    std::vector<double> stereo(2 * frames);
    for (uint64_t i = 0; i < frames; ++i) {
        stereo[2 * i] = 0.1;
        stereo[2 * i + 1] = mono[i];
    }
    MemoryWav a(stereo, 2);
    struct Case {
        int32_t window_start;
        int32_t placed;
    };
    const Case cases[] = {{-512, 0}, {-1, 0}, {0, 0}, {1000, 1000}, {3976, 3976}, {3977, 3976}, {4800, 3976}};
    for (const auto &c : cases) {
        std::vector<double> want(n / 2);
        ASSERT_TRUE(spectrum_db(a, 1, c.placed, n, -140.0, want.data(), nullptr));
        Page p;
        ASSERT_TRUE(write_spectral_chart(&p.buf, a, n, -80.0, c.window_start, "-ch1", 1, nullptr, nullptr, 0, {}));
        const std::vector<double> got = ref_trace(p.text());
        ASSERT_EQ(got.size(), n / 2) << c.window_start;
        for (size_t k = 0; k < got.size(); ++k) ASSERT_NEAR(got[k], want[k], 0.0051) << c.window_start << " bin " << k;
    }
}

} // namespace
