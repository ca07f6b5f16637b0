#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/group_thousands.hpp"
#include "base/heap.hpp"
#include "base/platform.hpp"
#include "report/assets.hpp"
#include "report/chart.hpp"
#include "report/page_parts.hpp"
#include "report/report.hpp"
#include "report/strbuf.hpp"

namespace {

bool write_signal_line(StrBuf *page, const ReportSource &source) {
    char sample_text[32];
    group_thousands(source.report->window.query_sample, sample_text, sizeof sample_text);
    return write_signal_start(page, source.input_file, *source.wav) &&
           strbuf_appendf(page, "queried at %.3fs (sample %s)</div>\n</div>\n", source.report->query_time_s,
                          sample_text);
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

bool build_page(StrBuf *page, const ReportSource &source, const Charts &charts) {
    const QueryReport &report = *source.report;
    if (!write_head(page, source.input_file, "") || !write_top_bar(page, source.version) ||
        !write_signal_line(page, source) || !write_key_figures(page, report))
        return false;
    for (uint64_t i = 0; i < report.result_count; ++i)
        if (!write_channel_card(page, source, i, charts)) return false;
    return write_footer(page, source.version, report_zoom_script_text);
}

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
