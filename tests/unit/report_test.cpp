// The page buffer's fast fixed-point append against printf and its sink, and
// the peak label's switch to kHz (what the page shows: page.test, chart.test).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/fixed_text.hpp"
#include "base/platform.hpp"
#include "report/chart.hpp"

namespace {

std::string text_of(const StrBuf &b) { return std::string(b.data, b.length); }

// Every value the chart can meet, ties and signs included, in a buffer that
// fills (mostly formatting into spare room, sometimes landing on its end)
// and as a list.
TEST(StrBuf, FixedAppendMatchesPrintf) {
    std::vector<double> values;
    const char *listed =
        "0 -0 0.125 0.375 -0.125 0.005 1.005 2.675 -140 276 989.995 57.9999 1e-300 -1e-300 1e300 "
        "-6.0235 1e22 123456.785 inf -inf nan 4503599627370496 -4503599627370496 "
        "4503599627370495.5 999.995 999.994999";
    for (char *at = const_cast<char *>(listed); *at;) values.push_back(std::strtod(at, &at));
    uint64_t state = 12345;
    for (int i = 0; i < 2000; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        values.push_back(static_cast<double>(static_cast<int64_t>(state >> 20)) / 1e9 - 4000.0);
    }
    StrBuf fast, list;
    strbuf_init(&fast);
    strbuf_init(&list);
    std::string want;
    for (double v : values) {
        char text[512];
        std::snprintf(text, sizeof text, "%.2f", v);
        ASSERT_TRUE(strbuf_append_fixed(&fast, v) && strbuf_append_char(&fast, ' '));
        want.append(text).append(" ");
    }
    ASSERT_TRUE(strbuf_append_fixed_list(&list, values.data(), values.size(), ' '));
    EXPECT_EQ(text_of(fast), want);
    EXPECT_EQ(fast.data[fast.length], '\0');
    EXPECT_EQ(text_of(list) + " ", want);
    strbuf_free(&fast);
    strbuf_free(&list);
    // Exactly filling the spare room still leaves the terminator's byte.
    for (uint64_t used = 248; used <= 256; ++used) {
        StrBuf b;
        strbuf_init(&b);
        ASSERT_TRUE(strbuf_append(&b, std::string(used, '.').c_str()) && strbuf_append_fixed(&b, -123.456));
        EXPECT_EQ(text_of(b), std::string(used, '.') + "-123.46");
        EXPECT_EQ(b.capacity, used + 7 < 256 ? 256u : 512u) << used;
        strbuf_free(&b);
    }
}

// The rows' numbers against printf at every precision and width they use
// (and two beyond the integer path): ties of each precision and their
// neighbours, every sign, values at the integer path's limits, and doubles
// of random bits, from subnormals to the largest.
TEST(FixedText, AsPrintfPrintsIt) {
    std::vector<double> values = {
        0.0,     -0.0,     1e-300,  -4.9e-324, 0.049999,           -0.05,
        0.95,    9.5,      99.995,  1e15,      1125899906842623.5, 281474976710655.9375,
        0x1p+48, -0x1p+50, 0x1p+52, 1e300,     INFINITY,           -INFINITY,
        NAN,     -NAN};
    uint64_t state = 99;
    const auto next = [&] { return state = state * 6364136223846793005ull + 1442695040888963407ull; };
    for (int i = 0; i < 4000; ++i) {
        const double tie = static_cast<double>(next() >> 40 | 1) / static_cast<double>(2u << (i % 5));
        for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, INFINITY)})
            values.insert(values.end(), {v, -v, v * 1e-3});
        const uint64_t bits = next();
        double random;
        std::memcpy(&random, &bits, sizeof random);
        values.push_back(random);
        values.push_back(std::ldexp(static_cast<double>(next() >> 11), static_cast<int>(next() % 80) - 90));
    }
    for (int decimals = 0; decimals <= 6; ++decimals) {
        for (int width : {0, 6, 10}) {
            for (double v : values) {
                char want[PLATFORM_FIXED_TEXT], got[PLATFORM_FIXED_TEXT];
                std::snprintf(want, sizeof want, "%*.*f", width, decimals, v);
                *fixed_text(got, v, decimals, width) = '\0';
                ASSERT_STREQ(got, want) << decimals << " " << width;
            }
        }
    }
}

// Streamed through a small buffer, the sink receives exactly the text the
// same appends build in memory: pieces that land on the buffer's end, that
// need it emptied first, and that are larger than the whole buffer.
TEST(StrBuf, SinkGetsTheWholeText) {
    StrBuf whole, streamed;
    strbuf_init(&whole);
    strbuf_init(&streamed);
    std::FILE *file = std::tmpfile();
    ASSERT_TRUE(file && strbuf_reserve(&streamed, 255));
    streamed.sink = file;
    const std::string big(700, 'b');
    for (int i = 0; i < 400; ++i) {
        for (StrBuf *b : {&whole, &streamed}) {
            const std::string run(static_cast<size_t>(i % 300), static_cast<char>('a' + i % 26));
            ASSERT_TRUE(strbuf_append(b, run.c_str()) && strbuf_append_char(b, '|') &&
                        strbuf_append_fixed(b, i * -1.25) && strbuf_appendf(b, "<%d>", i) &&
                        strbuf_append_bytes(b, big.data(), static_cast<size_t>(i % 7 == 0 ? 700 : 255)));
        }
        ASSERT_LE(streamed.length, 255u);
    }
    ASSERT_TRUE(strbuf_flush(&streamed));
    EXPECT_EQ(streamed.capacity, 256u);
    std::string written(whole.length + 1, '\0');
    std::rewind(file);
    written.resize(std::fread(&written[0], 1, written.size(), file));
    EXPECT_EQ(written, text_of(whole));
    std::fclose(file);
    strbuf_free(&whole);
    strbuf_free(&streamed);
}

// At exactly 1000 Hz, which a real tone hardly ever lands on.
TEST(SpectralChart, KilohertzLabelFromExactly1000Hz) {
    ChannelResult result{};
    result.top_peaks[0] = {999.99, -6.0};
    result.top_peaks[1] = {1000.0, -12.0};
    result.peak_count = 2;
    const QueryWindow window = make_query_window(48000, 512, 1024, 0.0, -80.0);
    const std::vector<double> levels(512, -140.0), magnitudes(512, 0.0);
    ChartCommon common;
    StrBuf page;
    strbuf_init(&page);
    ASSERT_TRUE(
        chart_common_prepare(&common, window, 48000) &&
        write_spectral_chart(&page, result, window, 48000, 0, {levels.data(), magnitudes.data()}, common));
    const std::string text(page.data, page.length);
    strbuf_free(&page);
    EXPECT_NE(text.find(">1000</text>"), std::string::npos);
    EXPECT_NE(text.find(">1.00k</text>"), std::string::npos);
}

} // namespace
