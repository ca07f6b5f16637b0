#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/group_thousands.hpp"
#include "base/heap.hpp"
#include "base/platform.hpp"
#include "report/assets.hpp"
#include "report/chart.hpp"
#include "report/report.hpp"
#include "report/strbuf.hpp"

namespace {

// Last path component ('/' or '\\') without its last extension, cut to
// size - 1 bytes. A leading dot is not an extension.
void path_stem(const char *path, char *out, size_t size) {
    const char *component = path;
    for (const char *p = path; *p != '\0'; ++p)
        if (*p == '/' || *p == '\\') component = p + 1;
    size_t stem_length = std::strlen(component);
    const char *dot = std::strrchr(component, '.');
    if (dot && dot != component) stem_length = static_cast<size_t>(dot - component);
    const size_t n = stem_length < size - 1 ? stem_length : size - 1;
    std::memcpy(out, component, n);
    out[n] = '\0';
}

// Now, as "YYYY-MM-DD HH:MM:SS UTC"; 64 bytes always suffice.
void utc_timestamp(char *out, size_t size) {
    const std::time_t now = std::time(nullptr);
    const std::tm *utc = std::gmtime(&now);
    if (!utc || std::strftime(out, size, "%Y-%m-%d %H:%M:%S UTC", utc) == 0) out[0] = '\0';
}

const char *encoding_label(uint32_t encoding) {
    switch (encoding) {
    case WAV_ENCODING_INT16: return "16-bit";
    case WAV_ENCODING_INT24: return "24-bit";
    case WAV_ENCODING_INT32: return "32-bit";
    case WAV_ENCODING_FLOAT32: return "32-bit float";
    case WAV_ENCODING_FLOAT64: return "64-bit float";
    default: return "unknown";
    }
}

// One and two channels have their names; a wider file says how many it has.
void channel_label(uint32_t channels, char *out, size_t size) {
    if (channels == 1) std::snprintf(out, size, "Mono");
    else if (channels == 2) std::snprintf(out, size, "Stereo");
    else std::snprintf(out, size, "%u channels", channels);
}

// Both icons start visible; the theme script hides the one that does not apply.
bool write_theme_toggle(StrBuf *out) {
    return strbuf_append(
        out, "<button type=\"button\" class=\"theme-toggle\" id=\"themeToggle\" aria-label=\"Switch to dark "
             "theme\">\n  <svg class=\"ti-sun\" viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" "
             "stroke-width=\"2\" stroke-linecap=\"round\" stroke-linejoin=\"round\"><circle cx=\"12\" "
             "cy=\"12\" r=\"4\"/><path d=\"M12 2v2M12 20v2M4.93 4.93l1.41 1.41M17.66 17.66l1.41 1.41M2 "
             "12h2M20 12h2M4.93 19.07l1.41-1.41M17.66 6.34l1.41-1.41\"/></svg>\n  <svg class=\"ti-moon\" "
             "viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" stroke-width=\"2\" "
             "stroke-linecap=\"round\" stroke-linejoin=\"round\"><path d=\"M21 12.79A9 9 0 1111.21 3 7 7 0 "
             "0021 12.79z\"/></svg>\n</button>\n");
}

// Title, usage hint and the reset button of the frame `target_id`; neither
// text is escaped.
bool write_scope_head(StrBuf *out, const char *title, const char *target_id) {
    return strbuf_appendf(out,
                          "<div class=\"scope-head\"><span class=\"title\">%s</span>\n<div "
                          "class=\"zoom-toolbar\"><span class=\"zoom-hint\">scroll to zoom &middot; drag "
                          "to pan &middot; shift+drag to box-zoom</span>",
                          title) &&
           strbuf_appendf(out,
                          "<button type=\"button\" class=\"zoom-reset\" data-zoom-target=\"%s\">Reset "
                          "zoom</button></div>\n</div>\n",
                          target_id);
}

bool write_head(StrBuf *page, const char *input_file) {
    char stem[256];
    path_stem(input_file, stem, sizeof stem);
    return strbuf_append(page, "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                               "<title>") &&
           strbuf_append_html(page, stem) && strbuf_append(page, " -- tonesift</title>\n") &&
           strbuf_append(page, report_style_text) &&
           strbuf_append(page, "</head>\n<body>\n<div class=\"dash\">\n");
}

bool write_top_bar(StrBuf *page, const char *version) {
    return strbuf_append(
               page,
               "<div class=\"topbar\">\n<div class=\"brand\">\n<span class=\"glyph\"><svg viewBox=\"0 0 24 "
               "24\" fill=\"none\" xmlns=\"http://www.w3.org/2000/svg\"><path d=\"M2,13 Q4.5,8 7,13 T12,13 "
               "T17,13 T22,13\" stroke=\"white\" stroke-width=\"1.6\" stroke-linecap=\"round\" "
               "fill=\"none\"/><line x1=\"12\" y1=\"3\" x2=\"12\" y2=\"21\" stroke=\"white\" "
               "stroke-width=\"1.2\" stroke-dasharray=\"1.8,1.8\" opacity=\"0.8\"/><circle cx=\"12\" "
               "cy=\"13\" r=\"2.4\" fill=\"white\"/></svg></span>\n<span "
               "class=\"name\">tonesift</span>\n</div>\n<div class=\"right\">\n<div class=\"meta\">") &&
           strbuf_appendf(page, "<b>v%s</b></div>\n", version) && write_theme_toggle(page) &&
           strbuf_append(page, "</div>\n</div>\n");
}

bool write_signal_line(StrBuf *page, const ReportSource &source) {
    const WavData &wav = *source.wav;
    const QueryReport &report = *source.report;
    char sample_text[32];
    group_thousands(report.window.query_sample, sample_text, sizeof sample_text);
    char channels_text[32];
    channel_label(wav.channels, channels_text, sizeof channels_text);
    const double duration_s = static_cast<double>(wav.frames) / static_cast<double>(wav.sample_rate);
    return strbuf_append(page, "<div class=\"signal-row\">\n<div class=\"signal-id single\">\n<span "
                               "class=\"tag\">Signal</span>\n<span class=\"fname\">") &&
           strbuf_append_path_html(page, source.input_file) &&
           strbuf_appendf(page,
                          "</span>\n</div>\n<div class=\"signal-meta\">%u Hz &middot; %s &middot; %s "
                          "&middot; %.2fs &middot; queried at %.3fs (sample %s)</div>\n</div>\n",
                          wav.sample_rate, encoding_label(wav.encoding), channels_text, duration_s,
                          report.query_time_s, sample_text);
}

bool write_key_figures(StrBuf *page, const QueryReport &report) {
    uint64_t peaks_found = 0;
    for (uint64_t i = 0; i < report.result_count; ++i) peaks_found += report.results[i].peak_count;
    const QueryWindow &w = report.window;
    char floor_text[PLATFORM_FIXED_TEXT];
    platform_format_fixed(floor_text, sizeof floor_text, 1, w.noise_floor_db);
    return strbuf_append(page, "<div class=\"kpi-grid\">\n") &&
           strbuf_appendf(page,
                          "<div class=\"kpi\">\n<div class=\"k\">Window</div>\n<div "
                          "class=\"v\">%zu<small> samples</small></div>\n<div "
                          "class=\"kpi-note\">%.1fms</div>\n</div>\n",
                          static_cast<size_t>(w.window_samples), w.window_duration_ms) &&
           strbuf_appendf(page,
                          "<div class=\"kpi\">\n<div class=\"k\">Resolution</div>\n<div "
                          "class=\"v\">%.2f<small> Hz/bin</small></div>\n</div>\n",
                          w.resolution_hz) &&
           strbuf_appendf(page,
                          "<div class=\"kpi\">\n<div class=\"k\">Noise Floor</div>\n<div "
                          "class=\"v\">%s<small> dB</small></div>\n</div>\n",
                          floor_text) &&
           strbuf_appendf(page,
                          "<div class=\"kpi\">\n<div class=\"k\">Peaks Found</div>\n<div "
                          "class=\"v\">%zu</div>\n<div class=\"kpi-note\">min separation %.1f "
                          "Hz</div>\n</div>\n",
                          static_cast<size_t>(peaks_found), w.min_separation_hz) &&
           strbuf_append(page, "</div>\n");
}

bool write_peak_table(StrBuf *page, const ChannelResult &result) {
    if (result.peak_count == 0)
        return strbuf_append(page, "<p class=\"desc\">No peaks above the noise floor in this window.</p>\n");
    if (!strbuf_append(page, "<table class=\"dt dt-numbered\">\n<thead><tr><th>#</th><th>Frequency</th>"
                             "<th>Level</th></tr></thead>\n<tbody>\n"))
        return false;
    for (uint64_t k = 0; k < result.peak_count; ++k) {
        const Peak &peak = result.top_peaks[k];
        if (!strbuf_appendf(page, "<tr><td>%zu</td><td>%.1f Hz</td><td>%.1f dB</td></tr>\n",
                            static_cast<size_t>(k + 1), peak.frequency_hz, peak.level_db))
            return false;
    }
    return strbuf_append(page, "</tbody>\n</table>\n");
}

// The charts of a page: what they draw alike, where their window lies and
// each one's spectrum. Where the window is the analysis window, that is the
// analysis spectrum; where the charts shift it inside the file, the spectra
// are computed into memory of their own.
struct Charts {
    ChartCommon common;
    int64_t start = -1;
    HeapArray<double> shifted; // levels then magnitudes of each result
    Spectrum spectra[MAX_CHANNEL_RESULTS] = {};
};

bool compute_shifted_spectra(const ReportSource &source, Charts *charts) {
    const uint64_t n = source.report->window.window_samples;
    if (!charts->shifted.allocate(source.report->result_count * n)) return false;
    for (uint64_t i = 0; i < source.report->result_count; ++i) {
        double *levels = charts->shifted.data + i * n;
        double *magnitudes = levels + n / 2;
        if (!spectrum_db(source.work, *source.wav, source.report->results[i].channel,
                         static_cast<int32_t>(charts->start), CHART_FLOOR_DB, levels, magnitudes))
            return false;
        charts->spectra[i] = {levels, magnitudes};
    }
    return true;
}

// Everything the charts need, made before the file is opened.
bool prepare_charts(const ReportSource &source, Charts *charts) {
    const QueryWindow &w = source.report->window;
    charts->start = inside_window_start(source.wav->frames, w.window_samples, w.window_start);
    if (charts->start < 0) return true; // every chart is a note
    if (!chart_common_prepare(&charts->common, w, source.wav->sample_rate)) return false;
    if (charts->start != w.window_start) return compute_shifted_spectra(source, charts);
    for (uint64_t i = 0; i < source.report->result_count; ++i) charts->spectra[i] = source.spectra[i];
    return true;
}

bool write_channel_card(StrBuf *page, const ReportSource &source, uint64_t index, const Charts &charts) {
    const ChannelResult &result = source.report->results[index];
    char frame_id[32];
    std::snprintf(frame_id, sizeof frame_id, "ts-spectral-frame-%u", result.channel);
    return strbuf_appendf(page,
                          "<section class=\"card\" id=\"channel-%u\">\n<div class=\"card-head\">\n<div "
                          "class=\"htext\"><h3>Channel %u</h3></div>\n<span class=\"badge info\">%zu "
                          "peak%s</span>\n</div>\n<div class=\"card-body\">\n<div class=\"scope\">\n",
                          result.channel, result.channel, static_cast<size_t>(result.peak_count),
                          result.peak_count == 1 ? "" : "s") &&
           write_scope_head(page, "Magnitude spectrum", frame_id) &&
           strbuf_appendf(page, "<div class=\"zoom-frame\" data-zoom-kind=\"spectral\" id=\"%s\">\n",
                          frame_id) &&
           write_spectral_chart(page, result, source.report->window, source.wav->sample_rate, charts.start,
                                charts.spectra[index], charts.common) &&
           strbuf_append(page, "<div class=\"zoom-box\" hidden></div>\n</div>\n<div "
                               "class=\"legend-row\">\n<span><span class=\"sw\" "
                               "style=\"background:var(--ref)\"></span>Signal</span>\n</div>\n") &&
           write_peak_table(page, result) && strbuf_append(page, "</div>\n</div>\n</section>\n");
}

bool write_footer_and_scripts(StrBuf *page, const char *version) {
    char stamp[64];
    utc_timestamp(stamp, sizeof stamp);
    return strbuf_appendf(page,
                          "<footer>\n<div class=\"footer-row-top\">\n<span><b>tonesift</b> "
                          "v%s</span>\n<span>report generated %s</span>\n</div>\n</footer>\n",
                          version, stamp) &&
           strbuf_append(page, "</div>\n") && strbuf_append(page, report_theme_script_text) &&
           strbuf_append(page, report_zoom_script_text) && strbuf_append(page, "</body>\n</html>\n");
}

bool build_page(StrBuf *page, const ReportSource &source, const Charts &charts) {
    const QueryReport &report = *source.report;
    if (!write_head(page, source.input_file) || !write_top_bar(page, source.version) ||
        !write_signal_line(page, source) || !write_key_figures(page, report))
        return false;
    for (uint64_t i = 0; i < report.result_count; ++i)
        if (!write_channel_card(page, source, i, charts)) return false;
    return write_footer_and_scripts(page, source.version);
}

// The page passes through this much memory on its way to the file; every
// formatted piece is far smaller.
constexpr uint64_t PAGE_BUFFER_BYTES = 65535;

// Owns the page buffer on every way out.
struct PageBuffer {
    StrBuf buf;
    PageBuffer() { strbuf_init(&buf); }
    PageBuffer(const PageBuffer &) = delete;
    PageBuffer &operator=(const PageBuffer &) = delete;
    ~PageBuffer() { strbuf_free(&buf); }
};

} // namespace

bool write_html_report(const char *path, const ReportSource &source) {
    // The report must never replace the recording it describes.
    if (platform_same_file(path, source.input_file)) return false;
    // Everything that can run out of memory happens before the file is
    // opened, so a failure never creates or truncates it.
    Charts charts;
    PageBuffer page;
    if (!prepare_charts(source, &charts) || !strbuf_reserve(&page.buf, PAGE_BUFFER_BYTES)) return false;
    // Truncated at open: a run stopped at any moment leaves the old page
    // untouched or a prefix of the new one, never the two mixed.
    std::FILE *file = platform_fopen(path, "wb");
    if (!file) return false;
    std::setvbuf(file, nullptr, _IONBF, 0); // the page buffer is the only buffer
    page.buf.sink = file;
    const bool written = build_page(&page.buf, source, charts) && strbuf_flush(&page.buf);
    std::fclose(file);
    return written;
}
