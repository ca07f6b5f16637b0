// The report page byte for byte, outside its three fixed texts (the style
// sheet and the two scripts), with the time stamp and the charts masked.
// Expected texts are written out by hand from the page's formats.
#include <gtest/gtest.h>

#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "report/report.hpp"
#include "support/run_process.hpp"
#include "support/wav_writer.hpp"

namespace {

struct Fixture {
    MemoryWav audio;
    QueryReport report{};
    std::string input = "recordings/take.1.wav";

    Fixture(uint32_t rate, uint32_t channels, uint32_t encoding, uint64_t frames)
        : audio(std::vector<double>(frames * channels, 0.0), channels, rate, encoding) {
        report.sample_rate = rate;
        report.channels = channels;
    }
    void query(uint32_t sample, double time_s, uint64_t n, double min_sep, double floor_db) {
        report.query_time_s = time_s;
        report.window.query_sample = sample;
        report.window.window_start = static_cast<int32_t>(sample) - static_cast<int32_t>(n / 2);
        report.window.window_samples = n;
        report.window.window_duration_ms = static_cast<double>(n) * 1000.0 / report.sample_rate;
        report.window.resolution_hz = static_cast<double>(report.sample_rate) / static_cast<double>(n);
        report.window.min_separation_hz = min_sep;
        report.window.noise_floor_db = floor_db;
    }
    void add_result(uint32_t channel, std::vector<Peak> peaks) {
        ChannelResult &r = report.results[report.result_count++];
        r.channel = channel;
        r.peak_count = peaks.size();
        for (size_t i = 0; i < peaks.size(); ++i) r.top_peaks[i] = peaks[i];
    }
    ReportSource source() {
        report.input_file = input.c_str();
        return ReportSource{input.c_str(), &audio.wav, &report, "0.7.1-beta"};
    }
    // The page as written to a scratch file; empty when the writer failed.
    std::string render(const std::string &name = "page.html") {
        const std::string path = temp_dir() + "/" + name;
        std::remove(path.c_str());
        if (!write_html_report(path.c_str(), source())) return std::string();
        return read_file_text(path);
    }
};

// Replaces every piece from `open` through the next `close` by `mark`.
std::string mask_between(std::string s, const std::string &open, const std::string &close, const std::string &mark) {
    for (size_t at = s.find(open); at != std::string::npos; at = s.find(open, at + mark.size())) {
        const size_t end = s.find(close, at + open.size());
        if (end == std::string::npos) break;
        s.replace(at, end + close.size() - at, mark);
    }
    return s;
}

// Style block, scripts, charts (keeping their id suffix) and time stamp masked.
std::string masked(const std::string &page) {
    std::string s = mask_between(page, "<style>\n:root {", "</style>\n", "[STYLE]");
    s = mask_between(s, "<script>\n(function () {", "})();\n</script>\n", "[SCRIPT]");
    const std::string svg_open = "<svg viewBox=\"0 0 1000 320\" preserveAspectRatio=\"none\" "
                                 "class=\"cv-spectral-chart\" id=\"cv-spectral-svg";
    for (size_t at = s.find(svg_open); at != std::string::npos; at = s.find(svg_open, at + 1)) {
        const size_t id_end = s.find('"', at + svg_open.size());
        const std::string suffix = s.substr(at + svg_open.size(), id_end - at - svg_open.size());
        const std::string island = "</svg>\n<script type=\"application/json\" id=\"cv-spectral-data" + suffix +
                                   "\">{";
        const size_t svg_end = s.find(island, at);
        const size_t end = s.find("}</script>\n", svg_end);
        if (svg_end == std::string::npos || end == std::string::npos || s.find('\n', svg_end + 7) < end) break;
        s.replace(at, end + 11 - at, "[CHART " + suffix + "]\n");
    }
    // The footer's time stamp: "YYYY-MM-DD HH:MM:SS UTC", digits where the
    // pattern has 9.
    const std::string shape = "9999-99-99 99:99:99 UTC";
    for (size_t at = 0; at + shape.size() <= s.size(); ++at) {
        bool match = true;
        for (size_t i = 0; match && i < shape.size(); ++i)
            match = shape[i] == '9' ? std::isdigit(static_cast<unsigned char>(s[at + i])) != 0
                                    : s[at + i] == shape[i];
        if (match) s.replace(at, shape.size(), "[TIME]");
    }
    return s;
}

const std::string TOGGLE =
    "<button type=\"button\" class=\"theme-toggle\" id=\"themeToggle\" aria-label=\"Switch to dark theme\">\n"
    "  <svg class=\"ti-sun\" viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" stroke-width=\"2\" "
    "stroke-linecap=\"round\" stroke-linejoin=\"round\"><circle cx=\"12\" cy=\"12\" r=\"4\"/><path d=\"M12 2v2M12 "
    "20v2M4.93 4.93l1.41 1.41M17.66 17.66l1.41 1.41M2 12h2M20 12h2M4.93 19.07l1.41-1.41M17.66 "
    "6.34l1.41-1.41\"/></svg>\n"
    "  <svg class=\"ti-moon\" viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" stroke-width=\"2\" "
    "stroke-linecap=\"round\" stroke-linejoin=\"round\"><path d=\"M21 12.79A9 9 0 1111.21 3 7 7 0 0021 "
    "12.79z\"/></svg>\n"
    "</button>\n";

std::string head(const std::string &title_html) {
    return "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" + title_html + " -- tonesift</title>\n"
           "[STYLE]</head>\n<body>\n<div class=\"dash\">\n"
           "<div class=\"topbar\">\n<div class=\"brand\">\n"
           "<span class=\"glyph\"><svg viewBox=\"0 0 24 24\" fill=\"none\" xmlns=\"http://www.w3.org/2000/svg\">"
           "<path d=\"M2,13 Q4.5,8 7,13 T12,13 T17,13 T22,13\" stroke=\"white\" stroke-width=\"1.6\" "
           "stroke-linecap=\"round\" fill=\"none\"/><line x1=\"12\" y1=\"3\" x2=\"12\" y2=\"21\" stroke=\"white\" "
           "stroke-width=\"1.2\" stroke-dasharray=\"1.8,1.8\" opacity=\"0.8\"/><circle cx=\"12\" cy=\"13\" "
           "r=\"2.4\" fill=\"white\"/></svg></span>\n"
           "<span class=\"name\">tonesift</span>\n</div>\n<div class=\"right\">\n"
           "<div class=\"meta\"><b>v0.7.1-beta</b></div>\n" + TOGGLE + "</div>\n</div>\n";
}

std::string signal(const std::string &fname_html, const std::string &meta) {
    return "<div class=\"signal-row\">\n<div class=\"signal-id single\">\n<span class=\"tag\">Signal</span>\n"
           "<span class=\"fname\">" + fname_html + "</span>\n</div>\n"
           "<div class=\"signal-meta\">" + meta + "</div>\n</div>\n";
}

std::string kpis(const std::string &n, const std::string &ms, const std::string &res, const std::string &floor,
                 const std::string &found, const std::string &sep) {
    return "<div class=\"kpi-grid\">\n"
           "<div class=\"kpi\">\n<div class=\"k\">Window</div>\n<div class=\"v\">" + n +
           "<small> samples</small></div>\n<div class=\"kpi-note\">" + ms + "ms</div>\n</div>\n"
           "<div class=\"kpi\">\n<div class=\"k\">Resolution</div>\n<div class=\"v\">" + res +
           "<small> Hz/bin</small></div>\n</div>\n"
           "<div class=\"kpi\">\n<div class=\"k\">Noise Floor</div>\n<div class=\"v\">" + floor +
           "<small> dB</small></div>\n</div>\n"
           "<div class=\"kpi\">\n<div class=\"k\">Peaks Found</div>\n<div class=\"v\">" + found +
           "</div>\n<div class=\"kpi-note\">min separation " + sep + " Hz</div>\n</div>\n"
           "</div>\n";
}

// `chart` is what stands inside the zoom frame; `rows` the table rows or "".
std::string card(unsigned channel, const std::string &badge, const std::string &chart, const std::string &rows) {
    const std::string ch = std::to_string(channel);
    return "<section class=\"card\" id=\"channel-" + ch + "\">\n<div class=\"card-head\">\n"
           "<div class=\"htext\"><h3>Channel " + ch + "</h3></div>\n<span class=\"badge info\">" + badge +
           "</span>\n</div>\n<div class=\"card-body\">\n<div class=\"scope\">\n"
           "<div class=\"scope-head\"><span class=\"title\">Magnitude spectrum</span>\n"
           "<div class=\"zoom-toolbar\"><span class=\"zoom-hint\">scroll to zoom &middot; drag to pan &middot; "
           "shift+drag to box-zoom</span><button type=\"button\" class=\"zoom-reset\" "
           "data-zoom-target=\"ts-spectral-frame-" + ch + "\">Reset zoom</button></div>\n</div>\n"
           "<div class=\"zoom-frame\" data-zoom-kind=\"spectral\" id=\"ts-spectral-frame-" + ch + "\">\n" +
           chart +
           "<div class=\"zoom-box\" hidden></div>\n</div>\n<div class=\"legend-row\">\n"
           "<span><span class=\"sw\" style=\"background:var(--ref)\"></span>Signal</span>\n</div>\n" +
           (rows.empty() ? "<p class=\"desc\">No peaks above the noise floor in this window.</p>\n"
                         : "<table class=\"dt dt-numbered\">\n<thead><tr><th>#</th><th>Frequency</th>"
                           "<th>Level</th></tr></thead>\n<tbody>\n" + rows + "</tbody>\n</table>\n") +
           "</div>\n</div>\n</section>\n";
}

const std::string TAIL = "<footer>\n<div class=\"footer-row-top\">\n<span><b>tonesift</b> v0.7.1-beta</span>\n"
                         "<span>report generated [TIME]</span>\n</div>\n</footer>\n</div>\n"
                         "[SCRIPT][SCRIPT]</body>\n</html>\n";

TEST(ReportPage, StereoExampleInFull) {
    Fixture f(44100, 2, WAV_ENCODING_INT16, 132300);
    f.query(66150, 1.5, 4096, 43.06640625, -80.0);
    f.add_result(0, {{1000.04, -6.02}, {3000.0, -12.54}, {250.25, -40.0}});
    f.add_result(1, {{440.0, -3.0}, {880.0, -9.96}, {1320.0, -20.0}, {1760.0, -30.0}, {19999.9, -79.95}});
    const std::string page = f.render();
    ASSERT_FALSE(page.empty());
    const std::string expected =
        head("take.1") +
        signal("recordings/<wbr>take.1.wav",
               "44100 Hz &middot; 16-bit &middot; Stereo &middot; 3.00s &middot; queried at 1.500s (sample 66,150)") +
        kpis("4096", "92.9", "10.77", "-80.0", "8", "43.1") +
        card(0, "3 peaks", "[CHART -ch0]\n",
             "<tr><td>1</td><td>1000.0 Hz</td><td>-6.0 dB</td></tr>\n"
             "<tr><td>2</td><td>3000.0 Hz</td><td>-12.5 dB</td></tr>\n"
             "<tr><td>3</td><td>250.2 Hz</td><td>-40.0 dB</td></tr>\n") +
        card(1, "5 peaks", "[CHART -ch1]\n",
             "<tr><td>1</td><td>440.0 Hz</td><td>-3.0 dB</td></tr>\n"
             "<tr><td>2</td><td>880.0 Hz</td><td>-10.0 dB</td></tr>\n"
             "<tr><td>3</td><td>1320.0 Hz</td><td>-20.0 dB</td></tr>\n"
             "<tr><td>4</td><td>1760.0 Hz</td><td>-30.0 dB</td></tr>\n"
             "<tr><td>5</td><td>19999.9 Hz</td><td>-80.0 dB</td></tr>\n") +
        TAIL;
    EXPECT_EQ(masked(page), expected);
    EXPECT_EQ(page.find('\r'), std::string::npos);
}

TEST(ReportPage, ShortFileGetsTheNoteAndAnEmptyCard) {
    Fixture f(48000, 1, WAV_ENCODING_FLOAT32, 1000);
    f.input = "short.wav";
    f.query(0, 0.0, 4096, 46.875, -90.0);
    f.add_result(0, {});
    const std::string expected =
        head("short") +
        signal("short.wav",
               "48000 Hz &middot; 32-bit float &middot; Mono &middot; 0.02s &middot; queried at 0.000s (sample 0)") +
        kpis("4096", "85.3", "11.72", "-90.0", "0", "46.9") +
        card(0, "0 peaks",
             "<p class=\"cv-chart-note\">Not enough overlapping samples to render a spectral snapshot.</p>\n", "") +
        TAIL;
    EXPECT_EQ(masked(f.render()), expected);
}

TEST(ReportPage, SingleChannelOfAStereoFile) {
    Fixture f(96000, 2, WAV_ENCODING_INT24, 2000000);
    f.input = "/data/x.wav";
    f.query(1234567, 12.86007, 32768, 11.71875, -60.0);
    f.add_result(1, {{48.5, -0.04}});
    const std::string expected =
        head("x") +
        signal("/<wbr>data/<wbr>x.wav",
               "96000 Hz &middot; 24-bit &middot; Stereo &middot; 20.83s &middot; queried at 12.860s (sample 1,234,567)") +
        kpis("32768", "341.3", "2.93", "-60.0", "1", "11.7") +
        card(1, "1 peak", "[CHART -ch1]\n", "<tr><td>1</td><td>48.5 Hz</td><td>-0.0 dB</td></tr>\n") + TAIL;
    EXPECT_EQ(masked(f.render()), expected);
}

TEST(ReportPage, SignalLineLabels) {
    struct Case {
        uint32_t encoding;
        uint32_t channels;
        uint32_t query_sample;
        const char *meta;
    };
    const Case cases[] = {
        {WAV_ENCODING_INT32, 2, 1000, "8000 Hz &middot; 32-bit &middot; Stereo &middot; 2.50s &middot; queried at 0.125s (sample 1,000)"},
        {WAV_ENCODING_FLOAT64, 3, 19999, "8000 Hz &middot; 64-bit float &middot; 3 channels &middot; 2.50s &middot; queried at 0.125s (sample 19,999)"},
        {WAV_ENCODING_INT24, 1, 12345, "8000 Hz &middot; 24-bit &middot; Mono &middot; 2.50s &middot; queried at 0.125s (sample 12,345)"},
    };
    for (const auto &c : cases) {
        Fixture f(8000, c.channels, c.encoding, 20000);
        f.query(c.query_sample, 0.125, 1024, 31.25, -80.0);
        f.add_result(0, {});
        const std::string page = f.render();
        const std::string line = std::string("<div class=\"signal-meta\">") + c.meta + "</div>\n";
        EXPECT_NE(page.find(line), std::string::npos) << c.meta;
    }
}

TEST(ReportPage, PathsAreEscapedInTitleAndSignalName) {
    struct Case {
        std::string input;
        std::string title;
        std::string fname;
    };
    const std::string long_stem(300, 's');
    const Case cases[] = {
        {"C:\\rec\\it's <b>.wav", "it&#39;s &lt;b&gt;", "C:\\<wbr>rec\\<wbr>it&#39;s &lt;b&gt;.wav"},
        {long_stem + ".wav", std::string(255, 's'), long_stem + ".wav"},
        {"C:\\takes/2024\\take.wav", "take", "C:\\<wbr>takes/<wbr>2024\\<wbr>take.wav"},
        {"/a.b/c", "c", "/<wbr>a.b/<wbr>c"},
        {"x/.hidden", ".hidden", "x/<wbr>.hidden"},
        {"archive.tar.gz", "archive.tar", "archive.tar.gz"},
        {"dir/", "", "dir/<wbr>"},
        {"name.", "name", "name."},
        {".wav", ".wav", ".wav"},
    };
    for (const auto &c : cases) {
        Fixture f(8000, 1, WAV_ENCODING_INT16, 4000);
        f.input = c.input;
        f.query(2000, 0.25, 1024, 31.25, -80.0);
        f.add_result(0, {});
        const std::string page = f.render();
        EXPECT_NE(page.find("<title>" + c.title + " -- tonesift</title>\n"), std::string::npos) << c.input;
        EXPECT_NE(page.find("<span class=\"fname\">" + c.fname + "</span>\n"), std::string::npos) << c.input;
    }
}

TEST(ReportPage, FooterTimeIsUtcWhateverTheLocalZone) {
    Fixture f(8000, 1, WAV_ENCODING_INT16, 4000);
    f.query(2000, 0.25, 1024, 31.25, -80.0);
    f.add_result(0, {});
    const char *old_tz = std::getenv("TZ");
    const std::string saved = old_tz ? old_tz : "";
    setenv("TZ", "NPT-5:45", 1);
    tzset();
    const std::time_t before = std::time(nullptr);
    const std::string page = f.render();
    const std::time_t after = std::time(nullptr);
    if (old_tz) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
    tzset();

    const std::string open = "<span>report generated ";
    const size_t at = page.find(open);
    ASSERT_NE(at, std::string::npos);
    const std::string stamp = page.substr(at + open.size(), 23);
    EXPECT_EQ(page.substr(at + open.size() + 19, 12), " UTC</span>\n");
    std::tm parsed{};
    ASSERT_NE(strptime(stamp.c_str(), "%Y-%m-%d %H:%M:%S", &parsed), nullptr) << stamp;
    const std::time_t t = timegm(&parsed);
    EXPECT_GE(t, before);
    EXPECT_LE(t, after);
}

// The page writes the plain toolbar (see the cards above); this is the one
// with the trace toggle between hint and reset button.
TEST(ScopeHead, ToolbarWithTraceToggle) {
    StrBuf b;
    strbuf_init(&b);
    ASSERT_TRUE(write_scope_head(&b, "T&amp;", "f-1", true));
    const std::string s(b.data, b.length);
    strbuf_free(&b);
    const std::string hint = "<div class=\"scope-head\"><span class=\"title\">T&amp;</span>\n<div class=\"zoom-toolbar\">"
                             "<span class=\"zoom-hint\">scroll to zoom &middot; drag to pan &middot; shift+drag to "
                             "box-zoom</span>";
    const std::string reset = "<button type=\"button\" class=\"zoom-reset\" data-zoom-target=\"f-1\">Reset zoom</button>"
                              "</div>\n</div>\n";
    ASSERT_EQ(s.substr(0, hint.size()), hint);
    ASSERT_EQ(s.substr(s.size() - reset.size()), reset);
    const std::string group = s.substr(hint.size(), s.size() - hint.size() - reset.size());
    EXPECT_EQ(group.rfind("<div class=\"trace-toggle\" data-target=\"f-1\">", 0), 0u) << group;
    const size_t both = group.find(">Both</button>"), ref = group.find(">Ref</button>"), dut = group.find(">DUT</button>");
    EXPECT_TRUE(both < ref && ref < dut && dut != std::string::npos) << group;
}

} // namespace
