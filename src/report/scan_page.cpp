#include <cstdio>
#include <cstring>

#include "base/group_thousands.hpp"
#include "base/platform.hpp"
#include "report/assets.hpp"
#include "report/page_parts.hpp"
#include "report/report.hpp"
#include "report/strbuf.hpp"

namespace {

uint64_t columns_of(const ScanPageSource &source, const ScanPicture &picture) {
    const uint64_t columns = (source.points + picture.stride - 1) / picture.stride;
    return columns < SCAN_PICTURE_COLUMNS ? columns : SCAN_PICTURE_COLUMNS;
}

bool write_signal_row(StrBuf *page, const ScanPageSource &source) {
    char points_text[32];
    group_thousands(source.points, points_text, sizeof points_text);
    return write_signal_start(page, source.input_file, *source.wav) &&
           strbuf_appendf(page, "%s point%s: ", points_text, source.points == 1 ? "" : "s") &&
           strbuf_append_html(page, source.points_text) && strbuf_append(page, "</div>\n</div>\n");
}

bool write_key_figures(StrBuf *page, const ScanPageSource &source, const ScanPicture &picture) {
    uint64_t peaks = 0;
    for (uint64_t i = 0; i < columns_of(source, picture) * picture.channels; ++i)
        peaks += picture.peak_counts[i];
    const QueryWindow &w = *source.window;
    char floor_text[PLATFORM_FIXED_TEXT];
    platform_format_fixed(floor_text, sizeof floor_text, 1, w.noise_floor_db);
    char drawn[32];
    group_thousands(columns_of(source, picture), drawn, sizeof drawn);
    char all[64];
    group_thousands(source.points, all, sizeof all);
    char share[96];
    if (picture.stride == 1) std::snprintf(share, sizeof share, "every point");
    else std::snprintf(share, sizeof share, "1 in %zu of %s", static_cast<size_t>(picture.stride), all);
    return strbuf_appendf(
               page,
               "<div class=\"kpi-grid\">\n<div class=\"kpi\">\n<div class=\"k\">Points drawn</div>\n"
               "<div class=\"v\">%s</div>\n<div class=\"kpi-sub\">%s</div>\n</div>\n",
               drawn, share) &&
           strbuf_appendf(page,
                          "<div class=\"kpi\">\n<div class=\"k\">Window</div>\n<div class=\"v\">%zu<small> "
                          "samples</small></div>\n<div class=\"kpi-sub\">%.1fms, %.2f Hz/bin</div>\n</div>\n",
                          static_cast<size_t>(w.window_samples), w.window_duration_ms, w.resolution_hz) &&
           strbuf_appendf(
               page,
               "<div class=\"kpi\">\n<div class=\"k\">Noise Floor</div>\n<div class=\"v\">%s<small> "
               "dB</small></div>\n<div class=\"kpi-sub\">min separation %.1f Hz</div>\n</div>\n",
               floor_text, w.min_separation_hz) &&
           strbuf_appendf(page,
                          "<div class=\"kpi\">\n<div class=\"k\">Peaks drawn</div>\n<div "
                          "class=\"v\">%zu</div>\n<div class=\"kpi-sub\">up to %u per point</div>\n</div>\n"
                          "</div>\n",
                          static_cast<size_t>(peaks), picture.top);
}

// `n` bytes, a multiple of 3, as base64.
bool append_base64(StrBuf *page, const uint8_t *bytes, uint64_t n) {
    static const char DIGITS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    char text[4 * SCAN_PICTURE_ROWS / 3];
    for (uint64_t at = 0; at < n;) {
        size_t length = 0;
        for (; at < n && length < sizeof text; at += 3) {
            const uint32_t v = static_cast<uint32_t>(bytes[at]) << 16 |
                               static_cast<uint32_t>(bytes[at + 1]) << 8 | bytes[at + 2];
            for (int shift = 18; shift >= 0; shift -= 6) text[length++] = DIGITS[v >> shift & 63u];
        }
        if (!strbuf_append_bytes(page, text, length)) return false;
    }
    return true;
}

// The chart's data island: the columns' times, the grid, each column's
// levels bottom row first, and the peaks as [column, Hz, dB] in rank order.
bool write_picture_data(StrBuf *page, const ScanPageSource &source, const ScanPicture &picture, uint32_t k) {
    const uint64_t columns = columns_of(source, picture);
    if (!strbuf_append(page, "<script type=\"application/json\">{\"times\":[")) return false;
    for (uint64_t c = 0; c < columns; ++c)
        if (!strbuf_appendf(page, "%s%.6f", c ? "," : "", picture.times[c])) return false;
    if (!strbuf_appendf(page, "],\"rows\":%u,\"lowHz\":%.4f,\"highHz\":%.4f,\"lowDb\":%.1f,\"levels\":\"",
                        SCAN_PICTURE_ROWS, picture.low_hz, picture.high_hz, SCAN_PICTURE_LOW_DB))
        return false;
    for (uint64_t c = 0; c < columns; ++c)
        if (!append_base64(page, picture.levels.data + (c * picture.channels + k) * SCAN_PICTURE_ROWS,
                           SCAN_PICTURE_ROWS))
            return false;
    if (!strbuf_append(page, "\",\"peaks\":[")) return false;
    bool first = true;
    for (uint64_t c = 0; c < columns; ++c) {
        const uint64_t cell = c * picture.channels + k;
        for (uint64_t i = 0; i < picture.peak_counts[cell]; ++i, first = false) {
            const Peak &peak = picture.peaks[cell * picture.top + i];
            if (!strbuf_appendf(page, "%s[%zu,%.4f,%.4f]", first ? "" : ",", static_cast<size_t>(c),
                                peak.frequency_hz, peak.level_db))
                return false;
        }
    }
    return strbuf_append(page, "]}</script>\n");
}

bool write_channel_card(StrBuf *page, const ScanPageSource &source, const ScanPicture &picture, uint32_t k) {
    const uint32_t channel = source.first_channel + k;
    char frame_id[40];
    std::snprintf(frame_id, sizeof frame_id, "ts-spectro-frame-%u", channel);
    return strbuf_appendf(
               page,
               "<section class=\"card\" id=\"channel-%u\">\n<div class=\"card-head\">\n<div "
               "class=\"htext\"><h3>Channel %u</h3></div>\n</div>\n<div class=\"card-body\">\n<div "
               "class=\"scope\">\n",
               channel, channel) &&
           write_scope_head(page, "Levels and peaks over time", frame_id) &&
           strbuf_appendf(
               page,
               "<div class=\"spectro-frame\" id=\"%s\">\n<canvas></canvas>\n<div class=\"zoom-box\" "
               "hidden></div>\n<div class=\"spectro-tip\" hidden></div>\n",
               frame_id) &&
           write_picture_data(page, source, picture, k) &&
           strbuf_appendf(page,
                          "</div>\n<div class=\"legend-row spectro-scale\">\n<span>%.0f dB</span><span "
                          "class=\"bar\"></span><span>0 dB</span>\n<span><span class=\"mark\"></span>peak "
                          "(hover or tap for its figures)</span>\n</div>\n</div>\n</div>\n</section>\n",
                          SCAN_PICTURE_LOW_DB);
}

bool build_page(StrBuf *page, const ScanPageSource &source, const ScanPicture &picture) {
    if (!write_head(page, source.input_file, report_scan_style_text) ||
        !write_top_bar(page, source.version) || !write_signal_row(page, source) ||
        !write_key_figures(page, source, picture))
        return false;
    if (picture.stride > 1) {
        char all[32];
        group_thousands(source.points, all, sizeof all);
        if (!strbuf_appendf(page,
                            "<p class=\"desc thinned\">Thinned evenly: 1 in %zu of the %s points is drawn, "
                            "so that the page stays small.</p>\n",
                            static_cast<size_t>(picture.stride), all))
            return false;
    }
    for (uint32_t k = 0; k < picture.channels; ++k)
        if (!write_channel_card(page, source, picture, k)) return false;
    return write_footer(page, source.version, report_spectro_script_text);
}

} // namespace

bool write_scan_page(std::FILE *file, const ScanPageSource &source, ScanPicture *picture) {
    StrBuf &page = picture->page.buf;
    std::setvbuf(file, nullptr, _IONBF, 0); // the page buffer is the only buffer
    page.sink = file;
    const bool written = build_page(&page, source, *picture) && strbuf_flush(&page);
    page.sink = nullptr;
    return written;
}
