// The spectral chart: coordinate mappings, window placement, and the SVG and
// data island written out in full (which holds every element writer's output).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/analysis.hpp"
#include "report/report.hpp"
#include "support/wav_writer.hpp"

namespace {

std::string text_of(const StrBuf &b) { return b.data ? std::string(b.data, b.length) : std::string(); }

// Owns a StrBuf for one test.
struct Page {
    StrBuf buf;
    Page() { strbuf_init(&buf); }
    ~Page() { strbuf_free(&buf); }
    std::string text() const { return text_of(buf); }
};

std::string fmt(const char *format, double a, double b) {
    char s[64];
    std::snprintf(s, sizeof s, format, a, b);
    return s;
}

struct Audio {
    MemoryWav wav;
    Audio(uint32_t rate, uint32_t channels, const std::vector<double> &interleaved)
        : wav(interleaved, channels, rate) {}
};

// Chunks of the chart text between two markers.
std::string between(const std::string &s, const std::string &from, const std::string &to) {
    const size_t a = s.find(from);
    if (a == std::string::npos) return "<missing " + from + ">";
    const size_t b = s.find(to, a + from.size());
    if (b == std::string::npos) return "<missing " + to + ">";
    return s.substr(a + from.size(), b - a - from.size());
}

std::vector<double> parse_numbers(const std::string &list) {
    std::vector<double> v;
    const char *p = list.c_str();
    char *end = nullptr;
    while (*p) {
        v.push_back(std::strtod(p, &end));
        if (end == p) break;
        p = end;
        while (*p == ',') ++p;
    }
    return v;
}

TEST(ChartMapping, LevelToY) {
    const std::pair<double, double> cases[] = {
        {-140.0, 276.0}, {20.0, 12.0}, {-60.0, 144.0}, {0.0, 45.0}, {-80.0, 177.0},
        {30.0, 12.0}, {1e9, 12.0}, {-140.5, 276.0}, {-1000.0, 276.0}, {-139.0, 274.35},
    };
    for (const auto &c : cases) EXPECT_NEAR(chart_db_to_y(c.first), c.second, 1e-12) << c.first;
}

TEST(ChartMapping, FrequencyToXOnTheLogAxis) {
    struct Case {
        double f, nyquist, x;
    };
    const Case cases[] = {
        {20.0, 24000.0, 58.0},   {24000.0, 24000.0, 990.0}, {10.0, 24000.0, 58.0},
        {0.0, 22050.0, 58.0},    {1000.0, 24000.0, 572.2406}, {20000.0, 22050.0, 977.0178},
        {20000.0, 48000.0, 885.1672}, {40000.0, 20000.0, 1083.5200}, // no upper clamp
        {200.0, 2000.0, 524.0}, // a decade is half of 20..2000
    };
    for (const auto &c : cases) EXPECT_NEAR(chart_freq_to_x(c.f, c.nyquist), c.x, 5e-5) << c.f;
}

TEST(ChartParts, SortIndicesIsStableAscending) {
    const std::vector<std::pair<std::vector<double>, std::vector<uint64_t>>> cases = {
        {{}, {}},
        {{3, 1, 2}, {1, 2, 0}},
        {{2, 1, 2, 1}, {1, 3, 0, 2}},
        {{1, 1, 1}, {0, 1, 2}},
    };
    for (const auto &c : cases) {
        std::vector<uint64_t> out(c.first.size() + 1, 99);
        sort_indices_ascending(c.first.data(), c.first.size(), out.data());
        out.pop_back();
        EXPECT_EQ(out, c.second);
    }
}

TEST(SpectralChart, NoteWhenTheFileIsShorterThanTheWindow) {
    const std::pair<uint64_t, uint64_t> cases[] = {{1023, 1024}, {0, 1024}, {4095, 4096}};
    for (const auto &c : cases) {
        Audio a(48000, 1, std::vector<double>(c.first, 0.25));
        Page p;
        ASSERT_TRUE(write_spectral_chart(&p.buf, a.wav, c.second, -80.0, -512, "-ch0", 0, nullptr, nullptr, 0));
        EXPECT_EQ(p.text(), "<p class=\"cv-chart-note\">Not enough overlapping samples to render a "
                            "spectral snapshot.</p>\n");
    }
    // Exactly one window's worth is enough.
    Audio a(48000, 1, std::vector<double>(1024, 0.0));
    Page p;
    ASSERT_TRUE(write_spectral_chart(&p.buf, a.wav, 1024, -80.0, -512, "-ch0", 0, nullptr, nullptr, 0));
    EXPECT_EQ(p.text().rfind("<svg ", 0), 0u);
}

// Digital silence at 96 kHz: every level sits on the floor, so the whole
// chart can be written out from the formats.
TEST(SpectralChart, SilentChartInFull) {
    Audio a(96000, 2, std::vector<double>(2 * 3000, 0.0));
    // Strongest first, as the analysis lists them.
    const double freqs[] = {1000.0, 500.0, 12345.6};
    const double levels[] = {20.0, -6.0, -150.0};
    Page p;
    ASSERT_TRUE(write_spectral_chart(&p.buf, a.wav, 1024, -80.0, 100, "-ch3", 1, freqs, levels, 3));

    std::string trace;
    std::string ref;
    for (int k = 0; k < 512; ++k) {
        const double f = k * 93.75;
        ref += k ? ",-140.00" : "-140.00";
        if (f < 20.0) continue;
        const double x = 58.0 + 932.0 * (std::log10(f) - std::log10(20.0)) / (std::log10(48000.0) - std::log10(20.0));
        trace += fmt("%.2f,%.2f ", x, 276.0);
    }
    // Grid and axes, written out from the coordinates of each line.
    const std::string minor = "stroke=\"var(--line-strong)\" stroke-width=\"1\" opacity=\"0.";
    const std::string major = "stroke=\"var(--ink-soft)\" stroke-width=\"1\" opacity=\"0.55\"/>\n";
    const std::string label = "font-size=\"9.5\" text-anchor=\"";
    std::string grid;
    for (const std::string y : {"28.50", "61.50", "94.50", "127.50", "160.50", "193.50", "226.50", "259.50"})
        grid += "<line x1=\"58.00\" y1=\"" + y + "\" x2=\"990.00\" y2=\"" + y + "\" " + minor + "6\"/>\n";
    for (const std::string x : {"106.55", "141.00", "189.55", "208.01", "224.00", "238.11", "382.27", "416.72", "465.28",
                                "483.73", "499.72", "513.83", "658.00", "692.45", "741.00", "759.46", "775.45", "789.55",
                                "933.72", "968.17"})
        grid += "<line x1=\"" + x + "\" y1=\"12.00\" x2=\"" + x + "\" y2=\"276.00\" " + minor + "55\"/>\n";
    grid += "<line x1=\"58.00\" y1=\"12.00\" x2=\"58.00\" y2=\"276.00\" stroke=\"var(--ink-soft)\" stroke-width=\"1.4\"/>\n"
            "<line x1=\"58.00\" y1=\"276.00\" x2=\"990.00\" y2=\"276.00\" stroke=\"var(--ink-soft)\" stroke-width=\"1.4\"/>\n";
    const std::vector<std::vector<std::string>> levels_axis = {
        {"12.00", "15.00", "20"},    {"45.00", "48.00", "0"},     {"78.00", "81.00", "-20"},
        {"111.00", "114.00", "-40"}, {"144.00", "147.00", "-60"}, {"177.00", "180.00", "-80"},
        {"210.00", "213.00", "-100"}, {"243.00", "246.00", "-120"}, {"276.00", "279.00", "-140"}};
    for (const auto &t : levels_axis)
        grid += "<line x1=\"58.00\" y1=\"" + t[0] + "\" x2=\"990.00\" y2=\"" + t[0] + "\" " + major + "<text x=\"52.00\" y=\"" +
                t[1] + "\" " + label + "end\" fill=\"var(--muted)\">" + t[2] + "</text>\n";
    const std::vector<std::vector<std::string>> freq_axis = {
        {"58.00", "middle", "20"},  {"167.72", "middle", "50"}, {"250.72", "middle", "100"}, {"333.72", "middle", "200"},
        {"443.44", "middle", "500"}, {"526.44", "middle", "1k"}, {"609.44", "middle", "2k"},  {"719.17", "middle", "5k"},
        {"802.17", "middle", "10k"}, {"885.17", "middle", "20k"}, {"990.00", "end", "48.0k"}};
    for (const auto &t : freq_axis)
        grid += "<line x1=\"" + t[0] + "\" y1=\"12.00\" x2=\"" + t[0] + "\" y2=\"276.00\" " + major + "<text x=\"" + t[0] +
                "\" y=\"290.00\" " + label + t[1] + "\" fill=\"var(--muted)\">" + t[2] + "</text>\n";
    const std::string expected =
        "<svg viewBox=\"0 0 1000 320\" preserveAspectRatio=\"none\" class=\"cv-spectral-chart\" id=\"cv-spectral-svg-ch3\" role=\"img\" aria-label=\"Spectral snapshot\">\n" +
        grid +
        "<text x=\"524.00\" y=\"304.00\" font-size=\"10.5\" text-anchor=\"middle\" fill=\"var(--ink-soft)\">Frequency (Hz)</text>\n"
        "<text x=\"14\" y=\"144.00\" font-size=\"10.5\" text-anchor=\"middle\" fill=\"var(--ink-soft)\" transform=\"rotate(-90 14 144.00)\">Amplitude (dB)</text>\n"
        "<rect x=\"58.00\" y=\"177.00\" width=\"932.00\" height=\"99.00\" fill=\"var(--accent)\" opacity=\"0.05\"/>\n"
        "<line x1=\"58.00\" y1=\"177.00\" x2=\"990.00\" y2=\"177.00\" stroke=\"var(--gate)\" stroke-width=\"1\" stroke-dasharray=\"4,3\"/>\n"
        "<text x=\"64.00\" y=\"174.00\" font-size=\"10\" fill=\"var(--gate)\" text-anchor=\"start\">noise floor -80dB</text>\n"
        "<polyline fill=\"none\" stroke=\"var(--ref-trace)\" stroke-width=\"1.5\" points=\"" + trace + "\"/>\n"
        // 500 Hz, even position: short leader.
        "<circle cx=\"443.44\" cy=\"54.90\" r=\"2.6\" fill=\"var(--accent)\"/>\n"
        "<line x1=\"443.44\" y1=\"46.90\" x2=\"443.44\" y2=\"34.90\" stroke=\"var(--accent)\" stroke-width=\"1\" opacity=\"0.7\"/>\n"
        "<text x=\"443.44\" y=\"20.90\" font-size=\"9.5\" font-weight=\"700\" text-anchor=\"middle\" fill=\"var(--ink)\">500</text>\n"
        "<text x=\"443.44\" y=\"31.90\" font-size=\"8.5\" text-anchor=\"middle\" fill=\"var(--muted)\">-6.0dB</text>\n"
        // 1 kHz at 20 dB, odd position: long leader, labels pushed down to y 20.
        "<circle cx=\"526.44\" cy=\"12.00\" r=\"2.6\" fill=\"var(--accent)\"/>\n"
        "<line x1=\"526.44\" y1=\"4.00\" x2=\"526.44\" y2=\"34.00\" stroke=\"var(--accent)\" stroke-width=\"1\" opacity=\"0.7\"/>\n"
        "<text x=\"526.44\" y=\"20.00\" font-size=\"9.5\" font-weight=\"700\" text-anchor=\"middle\" fill=\"var(--ink)\">1.00k</text>\n"
        "<text x=\"526.44\" y=\"31.00\" font-size=\"8.5\" text-anchor=\"middle\" fill=\"var(--muted)\">20.0dB</text>\n"
        // Below the chart floor: fixed positions on the bottom edge.
        "<circle cx=\"827.40\" cy=\"276.00\" r=\"2.6\" fill=\"var(--accent)\"/>\n"
        "<line x1=\"827.40\" y1=\"268.00\" x2=\"827.40\" y2=\"256.00\" stroke=\"var(--accent)\" stroke-width=\"1\" opacity=\"0.7\"/>\n"
        "<text x=\"827.40\" y=\"242.00\" font-size=\"9.5\" font-weight=\"700\" text-anchor=\"middle\" fill=\"var(--ink)\">12.35k</text>\n"
        "<text x=\"827.40\" y=\"253.00\" font-size=\"8.5\" text-anchor=\"middle\" fill=\"var(--muted)\">-150.0dB</text>\n"
        "</svg>\n"
        "<script type=\"application/json\" id=\"cv-spectral-data-ch3\">{\"chartLeft\":58.0,\"chartRight\":990.0,"
        "\"chartTop\":12.0,\"chartBottom\":276.0,\"binHz\":93.750000,\"nyquistHz\":48000.000,\"freqMinHz\":20.0,"
        "\"dbMin\":-140.0,\"dbMax\":20.0,\"freqScale\":\"log\",\"tierNoiseFloorDb\":-80.00,\"tierNonPeakDb\":null,"
        "\"tierPeakDb\":null,\"ref\":[" + ref + "],\"dut\":null,\"markers\":[{\"db\":-80.00,\"text\":\"noise floor "
        "-80dB\",\"color\":\"--gate\",\"dash\":\"4,3\",\"align\":\"left\"}],\"failMarker\":null,\"peaks\":["
        "{\"freqHz\":500.000,\"levelDb\":-6.00,\"tier\":0},{\"freqHz\":1000.000,\"levelDb\":20.00,\"tier\":1},"
        "{\"freqHz\":12345.600,\"levelDb\":-150.00,\"tier\":0}]}</script>\n";
    EXPECT_EQ(p.text(), expected);
}

struct AxisCase {
    uint32_t rate;
    std::vector<std::string> major_labels;
    size_t minor_lines;
    const char *end_label; // null: none
};

TEST(SpectralChart, AxisTicksFollowTheSampleRate) {
    const AxisCase cases[] = {
        {44100, {"20", "50", "100", "200", "500", "1k", "2k", "5k", "10k", "20k"}, 18, nullptr},
        {8000, {"20", "50", "100", "200", "500", "1k", "2k"}, 14, "4.0k"},
        {192000, {"20", "50", "100", "200", "500", "1k", "2k", "5k", "10k", "20k", "50k"}, 24, "96.0k"},
        {2000, {"20", "50", "100", "200", "500", "1k"}, 12, nullptr},
    };
    for (const auto &c : cases) {
        Audio a(c.rate, 1, std::vector<double>(2048, 0.0));
        Page p;
        ASSERT_TRUE(write_spectral_chart(&p.buf, a.wav, 1024, -80.0, 0, "", 0, nullptr, nullptr, 0));
        const std::string s = p.text();
        std::vector<std::string> labels;
        const std::string open = "text-anchor=\"middle\" fill=\"var(--muted)\">";
        for (size_t at = s.find(open); at != std::string::npos; at = s.find(open, at + 1))
            labels.push_back(s.substr(at + open.size(), s.find('<', at) - at - open.size()));
        EXPECT_EQ(labels, c.major_labels) << c.rate;
        size_t minor = 0;
        const std::string minor_tail = "y2=\"276.00\" stroke=\"var(--line-strong)\"";
        for (size_t at = s.find(minor_tail); at != std::string::npos; at = s.find(minor_tail, at + 1)) ++minor;
        EXPECT_EQ(minor, c.minor_lines) << c.rate;
        const std::string end_open = "<text x=\"990.00\" y=\"290.00\" font-size=\"9.5\" text-anchor=\"end\" fill=\"var(--muted)\">";
        if (c.end_label) {
            EXPECT_NE(s.find(end_open + c.end_label + "</text>\n"), std::string::npos) << c.rate;
        } else {
            EXPECT_EQ(s.find(end_open), std::string::npos) << c.rate;
        }
        EXPECT_EQ(between(s, "\"peaks\":[", "]}"), "");
    }
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
    Audio a(48000, 2, stereo);
    struct Case {
        int32_t window_start;
        int32_t placed;
    };
    const Case cases[] = {{-512, 0}, {-1, 0}, {0, 0}, {1000, 1000}, {3976, 3976}, {3977, 3976}, {4800, 3976}};
    for (const auto &c : cases) {
        std::vector<double> want(n / 2);
        ASSERT_TRUE(spectrum_db(a.wav, 1, c.placed, n, -140.0, want.data(), nullptr));
        Page p;
        ASSERT_TRUE(write_spectral_chart(&p.buf, a.wav, n, -80.0, c.window_start, "-ch1", 1, nullptr, nullptr, 0));
        const std::vector<double> got = parse_numbers(between(p.text(), "\"ref\":[", "]"));
        ASSERT_EQ(got.size(), n / 2) << c.window_start;
        for (size_t k = 0; k < got.size(); ++k) ASSERT_NEAR(got[k], want[k], 0.0051) << c.window_start << " bin " << k;
    }
}

} // namespace
