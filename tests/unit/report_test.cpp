// The page buffer's fast fixed-point append against printf and its sink, and
// the peak label's switch to kHz (what the page shows: page.test, chart.test).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
