#include <cmath>
#include <cstdint>
#include <cstdio>

#include "analysis/analysis.hpp"
#include "base/heap.hpp"
#include "report/chart.hpp"

namespace {

// Geometry in view-box units; the data island carries the same numbers so
// the browser redraw lands on the same pixels.
constexpr double VIEW_WIDTH = 1000.0;
constexpr double VIEW_HEIGHT = 320.0;
constexpr double CHART_LEFT = 58.0;
constexpr double CHART_RIGHT = 990.0;
constexpr double CHART_TOP = 12.0;
constexpr double CHART_BOTTOM = 276.0;
constexpr double FREQ_MIN_HZ = 20.0;
constexpr double DB_MAX = 20.0;
constexpr double LOG10_FREQ_MIN = 1.3010299956639813; // log10(20)

constexpr size_t MINOR_TICKS_MAX = 64;
constexpr size_t MAJOR_TICKS_MAX = 16;
// The end label would crowd the last tick label when closer than this.
constexpr double END_LABEL_MIN_GAP = 40.0;

const char *const NOTE_TOO_SHORT =
    "<p class=\"cv-chart-note\">Not enough overlapping samples to render a spectral "
    "snapshot.</p>\n";

const char *const GRID_FORMAT_MINOR_LEVEL =
    "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"var(--line-strong)\" "
    "stroke-width=\"1\" opacity=\"0.6\"/>\n";
const char *const GRID_FORMAT_MINOR_FREQ =
    "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"var(--line-strong)\" "
    "stroke-width=\"1\" opacity=\"0.55\"/>\n";
const char *const GRID_FORMAT_MAJOR =
    "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"var(--ink-soft)\" "
    "stroke-width=\"1\" opacity=\"0.55\"/>\n";
const char *const AXIS_LABEL_FORMAT =
    "<text x=\"%.2f\" y=\"%.2f\" font-size=\"9.5\" text-anchor=\"%s\" fill=\"var(--muted)\">%s</text>\n";

// Level (dB) to y in the 1000 x 320 view box: -140 dB at the bottom edge,
// 20 dB and above at the top edge.
double chart_db_to_y(double db) {
    if (db < CHART_FLOOR_DB) return CHART_BOTTOM;
    const double capped = db < DB_MAX ? db : DB_MAX;
    return CHART_BOTTOM - (capped - CHART_FLOOR_DB) / (DB_MAX - CHART_FLOOR_DB) * (CHART_BOTTOM - CHART_TOP);
}

// The log axis from 20 Hz to the Nyquist frequency spans this many decades,
// the same double wherever a coordinate is computed.
double chart_log_span(double nyquist_hz) { return std::log10(nyquist_hz) - LOG10_FREQ_MIN; }

// Frequency to x on the log axis of `log_span` decades from 20 Hz; below
// 20 Hz clamps to the left edge, there is no upper clamp.
double chart_freq_to_x(double freq_hz, double log_span) {
    const double f = freq_hz > FREQ_MIN_HZ ? freq_hz : FREQ_MIN_HZ;
    return CHART_LEFT + (CHART_RIGHT - CHART_LEFT) * (std::log10(f) - LOG10_FREQ_MIN) / log_span;
}

// Stable ascending order of the peaks' frequencies as indices into `out`.
void sort_by_frequency(const Peak *peaks, uint64_t count, uint64_t *out) {
    for (uint64_t i = 0; i < count; ++i) out[i] = i;
    for (uint64_t i = 1; i < count; ++i) {
        const uint64_t moving = out[i];
        uint64_t j = i;
        while (j > 0 && peaks[out[j - 1]].frequency_hz > peaks[moving].frequency_hz) {
            out[j] = out[j - 1];
            --j;
        }
        out[j] = moving;
    }
}

// What one chart draws, decided once.
struct Chart {
    const Peak *peaks;
    uint64_t count;
    uint64_t order[MAX_TOP_PEAKS]; // the peaks in frequency order
    Spectrum spectrum;
    uint64_t bins;
    double bin_hz;
    double nyquist;
    char id_suffix[16];
    char floor_text[PLATFORM_FIXED_TEXT]; // "%.2f" of the noise floor
    char gate_label[40];
};

// The trace and the levels go out a batch of bins at a time.
constexpr uint64_t BATCH = 256;

// The levels the chart shows for bins first .. first + n - 1, n (at most
// BATCH) returned: a bin of magnitude zero sits on the chart's floor,
// whatever level the analysis gave it.
uint64_t shown_levels(const Chart &chart, uint64_t first, double *out) {
    const uint64_t n = chart.bins - first < BATCH ? chart.bins - first : BATCH;
    const Spectrum &s = chart.spectrum;
    for (uint64_t k = 0; k < n; ++k)
        out[k] = s.magnitudes[first + k] > 0.0 ? s.levels[first + k] : CHART_FLOOR_DB;
    return n;
}

// Grid frequencies m x 10^e for e = 1 .. 5 (outer) and the given mantissas
// (inner) that lie in 20 Hz .. Nyquist, at most `max` of them, in that order.
size_t decade_ticks(const double *mantissas, size_t mantissa_count, double nyquist, size_t max, double *out) {
    size_t count = 0;
    for (int e = 1; e <= 5; ++e) {
        for (size_t i = 0; i < mantissa_count; ++i) {
            const double f = mantissas[i] * std::pow(10.0, e);
            if (f >= FREQ_MIN_HZ && f <= nyquist && count < max) out[count++] = f;
        }
    }
    return count;
}

bool write_grid_and_axes(StrBuf *out, double nyquist) {
    for (double db = 10.0; db >= -130.0; db -= 20.0) {
        const double y = chart_db_to_y(db);
        if (!strbuf_appendf(out, GRID_FORMAT_MINOR_LEVEL, CHART_LEFT, y, CHART_RIGHT, y)) return false;
    }

    static const double minor_mantissas[] = {3, 4, 6, 7, 8, 9};
    double minor[MINOR_TICKS_MAX];
    const size_t minor_count = decade_ticks(minor_mantissas, 6, nyquist, MINOR_TICKS_MAX, minor);
    for (size_t i = 0; i < minor_count; ++i) {
        const double x = chart_freq_to_x(minor[i], chart_log_span(nyquist));
        if (!strbuf_appendf(out, GRID_FORMAT_MINOR_FREQ, x, CHART_TOP, x, CHART_BOTTOM)) return false;
    }

    if (!strbuf_appendf(out,
                        "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"var(--ink-soft)\" "
                        "stroke-width=\"1.4\"/>\n<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" "
                        "stroke=\"var(--ink-soft)\" stroke-width=\"1.4\"/>\n",
                        CHART_LEFT, CHART_TOP, CHART_LEFT, CHART_BOTTOM, CHART_LEFT, CHART_BOTTOM,
                        CHART_RIGHT, CHART_BOTTOM))
        return false;

    for (double db = DB_MAX; db >= CHART_FLOOR_DB; db -= 20.0) {
        const double y = chart_db_to_y(db);
        char label[16];
        std::snprintf(label, sizeof label, "%.0f", db);
        if (!strbuf_appendf(out, GRID_FORMAT_MAJOR, CHART_LEFT, y, CHART_RIGHT, y) ||
            !strbuf_appendf(out, AXIS_LABEL_FORMAT, CHART_LEFT - 6.0, y + 3.0, "end", label))
            return false;
    }

    static const double major_mantissas[] = {1, 2, 5};
    double major[MAJOR_TICKS_MAX];
    const size_t major_count = decade_ticks(major_mantissas, 3, nyquist, MAJOR_TICKS_MAX, major);
    double last_major_x = 0.0;
    for (size_t i = 0; i < major_count; ++i) {
        const double f = major[i];
        const double x = chart_freq_to_x(f, chart_log_span(nyquist));
        last_major_x = x;
        char label[16];
        if (f >= 1000.0) std::snprintf(label, sizeof label, "%.0fk", f / 1000.0);
        else std::snprintf(label, sizeof label, "%.0f", f);
        if (!strbuf_appendf(out, GRID_FORMAT_MAJOR, x, CHART_TOP, x, CHART_BOTTOM) ||
            !strbuf_appendf(out, AXIS_LABEL_FORMAT, x, CHART_BOTTOM + 14.0, "middle", label))
            return false;
    }

    if (major_count > 0 && CHART_RIGHT - last_major_x > END_LABEL_MIN_GAP) {
        char label[32];
        std::snprintf(label, sizeof label, "%.1fk", nyquist / 1000.0);
        if (!strbuf_appendf(out, GRID_FORMAT_MAJOR, CHART_RIGHT, CHART_TOP, CHART_RIGHT, CHART_BOTTOM) ||
            !strbuf_appendf(out, AXIS_LABEL_FORMAT, CHART_RIGHT, CHART_BOTTOM + 14.0, "end", label))
            return false;
    }

    const double mid_y = (CHART_TOP + CHART_BOTTOM) / 2.0;
    return strbuf_appendf(out,
                          "<text x=\"%.2f\" y=\"%.2f\" font-size=\"10.5\" text-anchor=\"middle\" "
                          "fill=\"var(--ink-soft)\">%s</text>\n",
                          (CHART_LEFT + CHART_RIGHT) / 2.0, CHART_BOTTOM + 28.0, "Frequency (Hz)") &&
           strbuf_appendf(out,
                          "<text x=\"14\" y=\"%.2f\" font-size=\"10.5\" text-anchor=\"middle\" "
                          "fill=\"var(--ink-soft)\" transform=\"rotate(-90 14 %.2f)\">%s</text>\n",
                          mid_y, mid_y, "Amplitude (dB)");
}

// Labels of neighbouring peaks (in frequency order) alternate between two
// heights; that is the only collision handling.
bool write_peak_markers(StrBuf *out, const Chart &chart) {
    for (uint64_t j = 0; j < chart.count; ++j) {
        const double f = chart.peaks[chart.order[j]].frequency_hz;
        const double level = chart.peaks[chart.order[j]].level_db;
        const double x = chart_freq_to_x(f, chart_log_span(chart.nyquist));
        const bool tall = (j % 2) == 1;
        double dot_y;
        double lead_start;
        double lead_end;
        double level_y;
        double freq_y;
        if (level >= CHART_FLOOR_DB) {
            dot_y = chart_db_to_y(level);
            lead_start = dot_y - 8.0;
            lead_end = dot_y - (tall ? 40.0 : 20.0);
            level_y = lead_end - 3.0;
            freq_y = lead_end - 14.0;
            if (freq_y < CHART_TOP + 8.0) {
                const double shift = CHART_TOP + 8.0 - freq_y;
                lead_end += shift;
                level_y += shift;
                freq_y = CHART_TOP + 8.0;
            }
        } else {
            dot_y = CHART_BOTTOM;
            lead_start = CHART_BOTTOM - 8.0;
            lead_end = tall ? 236.0 : 256.0;
            level_y = lead_end - 3.0;
            freq_y = lead_end - 14.0;
        }
        char freq_label[16];
        char level_label[16];
        if (f >= 1000.0) std::snprintf(freq_label, sizeof freq_label, "%.2fk", f / 1000.0);
        else std::snprintf(freq_label, sizeof freq_label, "%.0f", f);
        std::snprintf(level_label, sizeof level_label, "%.1fdB", level);
        if (!strbuf_appendf(out,
                            "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"2.6\" fill=\"var(--accent)\"/>\n"
                            "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"var(--accent)\" "
                            "stroke-width=\"1\" opacity=\"0.7\"/>\n",
                            x, dot_y, x, lead_start, x, lead_end) ||
            !strbuf_appendf(out,
                            "<text x=\"%.2f\" y=\"%.2f\" font-size=\"9.5\" font-weight=\"700\" "
                            "text-anchor=\"middle\" fill=\"var(--ink)\">%s</text>\n",
                            x, freq_y, freq_label) ||
            !strbuf_appendf(out,
                            "<text x=\"%.2f\" y=\"%.2f\" font-size=\"8.5\" text-anchor=\"middle\" "
                            "fill=\"var(--muted)\">%s</text>\n",
                            x, level_y, level_label))
            return false;
    }
    return true;
}

// A dashed horizontal line across the plot at `level_db`, labelled at its left.
bool write_gate_line(StrBuf *out, double level_db, const char *label) {
    const double y = chart_db_to_y(level_db);
    return strbuf_appendf(out,
                          "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"var(%s)\" "
                          "stroke-width=\"1\" stroke-dasharray=\"%s\"/>\n<text x=\"%.2f\" y=\"%.2f\" "
                          "font-size=\"10\" fill=\"var(%s)\" text-anchor=\"%s\">%s</text>\n",
                          CHART_LEFT, y, CHART_RIGHT, y, "--gate", "4,3", CHART_LEFT + 6.0, y - 3.0, "--gate",
                          "start", label);
}

// The grid and axes, and "x," for every bin from 20 Hz up as the trace
// writes them.
bool make_chart_common(ChartCommon *common, uint64_t bins, double bin_hz, double nyquist_hz) {
    const double log_span = chart_log_span(nyquist_hz);
    if (!write_grid_and_axes(&common->grid, nyquist_hz) || !common->lengths.allocate(bins)) return false;
    for (uint64_t k = 0; k < bins; ++k) {
        const uint64_t before = common->xs.length;
        const double f = static_cast<double>(k) * bin_hz;
        if (f >= FREQ_MIN_HZ && !(strbuf_append_fixed(&common->xs, chart_freq_to_x(f, log_span)) &&
                                  strbuf_append_char(&common->xs, ',')))
            return false;
        // Above 20 Hz the axis ends near 1000, so a piece is a few bytes.
        common->lengths[k] = static_cast<uint8_t>(common->xs.length - before);
    }
    return strbuf_reserve(&common->xs, common->xs.length + 8);
}

// The spectrum trace: one "%.2f,%.2f " point per bin from 20 Hz up, its x
// taken from the page's common text.
bool write_trace_polyline(StrBuf *out, const Chart &chart, const ChartCommon &common) {
    if (!strbuf_appendf(out, "<polyline fill=\"none\" stroke=\"var(%s)\" stroke-width=\"1.5\" points=\"",
                        "--ref-trace"))
        return false;
    // Each batch's y made on the stack.
    double ys[BATCH];
    const char *x = common.xs.data;
    for (uint64_t first = 0; first < chart.bins; first += BATCH) {
        const uint64_t count = shown_levels(chart, first, ys);
        uint64_t x_bytes = 0;
        for (uint64_t k = 0; k < count; ++k) {
            ys[k] = chart_db_to_y(ys[k]);
            x_bytes += common.lengths[first + k];
        }
        // A bin below 20 Hz has no piece and no point.
        if (!strbuf_append_fixed_pieces(out, x, common.lengths.data + first, ys, count, ' ')) return false;
        x += x_bytes;
    }
    return strbuf_append(out, "\"/>\n");
}

// "ref":[v0,v1,...], the levels shown, two decimals each.
bool write_levels(StrBuf *out, const Chart &chart) {
    double shown[BATCH];
    if (!strbuf_append(out, "\"ref\":[")) return false;
    for (uint64_t first = 0; first < chart.bins; first += BATCH) {
        const uint64_t count = shown_levels(chart, first, shown);
        if ((first > 0 && !strbuf_append_char(out, ',')) || !strbuf_append_fixed_list(out, shown, count, ','))
            return false;
    }
    return strbuf_append(out, "]");
}

bool write_data_island(StrBuf *out, const Chart &chart) {
    if (!strbuf_appendf(out,
                        "<script type=\"application/json\" id=\"cv-spectral-data%s\">{\"chartLeft\":%.1f,"
                        "\"chartRight\":%.1f,\"chartTop\":%.1f,\"chartBottom\":%.1f,\"binHz\":%.6f,"
                        "\"nyquistHz\":%.3f,\"freqMinHz\":%.1f,\"dbMin\":%.1f,\"dbMax\":%.1f,"
                        "\"freqScale\":\"%s\",\"tierNoiseFloorDb\":%s,\"tierNonPeakDb\":%s,"
                        "\"tierPeakDb\":%s,",
                        chart.id_suffix, CHART_LEFT, CHART_RIGHT, CHART_TOP, CHART_BOTTOM, chart.bin_hz,
                        chart.nyquist, FREQ_MIN_HZ, CHART_FLOOR_DB, DB_MAX, "log", chart.floor_text, "null",
                        "null") ||
        !write_levels(out, chart) || !strbuf_append(out, ",") || !strbuf_append(out, "\"dut\":null") ||
        !strbuf_append(out, ",\"markers\":[") ||
        !strbuf_appendf(out,
                        "%s{\"db\":%s,\"text\":\"%s\",\"color\":\"%s\",\"dash\":\"%s\",\"align\":\"%s\"}", "",
                        chart.floor_text, chart.gate_label, "--gate", "4,3", "left") ||
        !strbuf_append(out, "]") || !strbuf_append(out, ",\"failMarker\":null") ||
        !strbuf_append(out, ",\"peaks\":["))
        return false;
    for (uint64_t j = 0; j < chart.count; ++j) {
        const Peak &peak = chart.peaks[chart.order[j]];
        if (!strbuf_appendf(out, "%s{\"freqHz\":%.3f,\"levelDb\":%.2f,\"tier\":%d}", j == 0 ? "" : ",",
                            peak.frequency_hz, peak.level_db, static_cast<int>(j % 2)))
            return false;
    }
    return strbuf_append(out, "]") && strbuf_append(out, "}</script>\n");
}

} // namespace

bool chart_common_prepare(ChartCommon *common, const QueryWindow &window, uint32_t sample_rate) {
    return make_chart_common(common, window.window_samples / 2, window.resolution_hz,
                             static_cast<double>(sample_rate) * 0.5);
}

bool write_spectral_chart(StrBuf *out, const ChannelResult &result, const QueryWindow &window,
                          uint32_t sample_rate, int64_t start, const Spectrum &spectrum,
                          const ChartCommon &common) {
    if (start < 0) return strbuf_append(out, NOTE_TOO_SHORT);
    Chart chart;
    chart.peaks = result.top_peaks;
    chart.count = result.peak_count;
    sort_by_frequency(chart.peaks, chart.count, chart.order);
    chart.spectrum = spectrum;
    chart.bins = window.window_samples / 2;
    chart.bin_hz = window.resolution_hz;
    chart.nyquist = static_cast<double>(sample_rate) * 0.5;
    std::snprintf(chart.id_suffix, sizeof chart.id_suffix, "-ch%u", result.channel);
    char whole_db[PLATFORM_FIXED_TEXT];
    platform_format_fixed(whole_db, sizeof whole_db, 0, window.noise_floor_db);
    // Cut at 39 bytes, as for a floor of hundreds of digits.
    if (std::snprintf(chart.gate_label, sizeof chart.gate_label, "noise floor %sdB", whole_db) < 0)
        chart.gate_label[0] = '\0';
    platform_format_fixed(chart.floor_text, sizeof chart.floor_text, 2, window.noise_floor_db);

    const double band_y = chart_db_to_y(window.noise_floor_db);
    return strbuf_appendf(out,
                          "<svg viewBox=\"0 0 %.0f %.0f\" preserveAspectRatio=\"none\" "
                          "class=\"cv-spectral-chart\" id=\"cv-spectral-svg%s\" role=\"img\" "
                          "aria-label=\"Spectral snapshot%s\">\n",
                          VIEW_WIDTH, VIEW_HEIGHT, chart.id_suffix, "") &&
           strbuf_append_bytes(out, common.grid.data, static_cast<size_t>(common.grid.length)) &&
           strbuf_appendf(out,
                          "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" "
                          "fill=\"var(--accent)\" opacity=\"0.05\"/>\n",
                          CHART_LEFT, band_y, CHART_RIGHT - CHART_LEFT, CHART_BOTTOM - band_y) &&
           write_gate_line(out, window.noise_floor_db, chart.gate_label) &&
           write_trace_polyline(out, chart, common) && write_peak_markers(out, chart) &&
           strbuf_append(out, "</svg>\n") && write_data_island(out, chart);
}
