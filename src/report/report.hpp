// HTML report: one self-contained page with a zoomable spectrum chart per
// analysed channel.
//
//   ReportSource src = {path_in, &wav, &report, TONESIFT_VERSION};
//   if (!write_html_report("take.html", src)) { /* nothing created or truncated */ }
//
// Every fragment writer appends to a StrBuf and returns false at the first
// append that fails; what it wrote before that stays. The page writer makes
// every allocation the page needs before it opens the file, then streams the
// page through one bounded buffer, so a page of megabytes never sits in
// memory whole and nothing after the open can fail but the writing itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "analysis/analysis.hpp"
#include "base/platform.hpp"
#include "wav/wav.hpp"

// The level a chart gives a bin of magnitude zero.
constexpr double CHART_FLOOR_DB = -140.0;

// What the page writer reads; all borrowed, all valid during the call.
// `work` is the run's working memory for the report's window length, and
// levels[i] result i's n/2 analysis levels, magnitude zero read as
// CHART_FLOOR_DB, shown where a chart's window is the analysis window. The
// writer recomputes them in place, in result order, when the charts shift
// their window inside the file; the last may lie in `work`.
struct ReportSource {
    const char *input_file;
    const WavData *wav;
    const QueryReport *report;
    const char *version;
    SpectrumWork *work;
    double *levels[MAX_CHANNEL_RESULTS];
};


// True when the whole page reached the file. On a failure while building,
// the file is neither created nor truncated.
bool write_html_report(const char *path, const ReportSource &source);

// ---- Text buffer -----------------------------------------------------------

// Growable byte text, NUL-terminated once `data` exists. Capacity is 0 or
// 256 doubled k times; it never shrinks.
//
//   StrBuf b;
//   strbuf_init(&b);
//   bool ok = strbuf_appendf(&b, "%u Hz", rate) && strbuf_append_html(&b, name);
//   strbuf_free(&b);   // on every way out
//
// With a `sink`, the buffer stays within the capacity it has: when a piece
// does not fit, the text so far is written to the sink first, and a piece
// of plain bytes larger than the whole buffer goes straight after it.
struct StrBuf {
    char *data;        // owned; null until the first append that needs room
    uint64_t length;   // bytes of text, terminator excluded
    uint64_t capacity; // bytes allocated at `data`
    std::FILE *sink;   // borrowed; null for text kept in memory
};

void strbuf_init(StrBuf *buf);
// Releases the storage; safe on a buffer that never grew and after a free.
void strbuf_free(StrBuf *buf);
// Makes room for `bytes` of text in all, growing as appends would.
bool strbuf_reserve(StrBuf *buf, uint64_t bytes);
// Writes the text to the sink and empties the buffer; false when the write
// fell short.
bool strbuf_flush(StrBuf *buf);

// Each append returns false when memory runs out (or a format fails, or a
// sink's write falls short); without a sink the buffer is then exactly as
// before the call and still usable.
bool strbuf_append(StrBuf *buf, const char *text);
bool strbuf_append_char(StrBuf *buf, char c);
bool strbuf_appendf(StrBuf *buf, const char *format, ...) PRINTF_LIKE(2, 3);
// Appends `n` bytes as they are.
bool strbuf_append_bytes(StrBuf *buf, const char *bytes, size_t n);
// Appends `value` exactly as "%.<decimals>f" would, only faster.
bool strbuf_append_fixed(StrBuf *buf, double value, int decimals);
// One entry of a long list of numbers: the `n` bytes at `before`, `value` as
// strbuf_append_fixed writes it, then `after` unless that is '\0'. On
// false, any part of the entry may have been appended.
bool strbuf_append_number(StrBuf *buf, const char *before, size_t n, double value, int decimals, char after);
// The values as strbuf_append_fixed writes them, `separator` between two.
bool strbuf_append_fixed_list(StrBuf *buf, const double *values, uint64_t count, int decimals, char separator);
// For each value, its piece, the value as strbuf_append_fixed writes it and
// `after`; piece i is the next lengths[i] bytes at `pieces`, and a value
// whose piece is empty is left out. A piece is at most 8 bytes, and 8 bytes
// from the start of any piece can be read.
bool strbuf_append_fixed_pieces(StrBuf *buf, const char *pieces, const uint8_t *lengths, const double *values,
                                uint64_t count, int decimals, char after);

// Text with " & ' < > replaced by entities. On false, the bytes before the
// failing one stay appended. An empty text allocates nothing.
bool strbuf_append_html(StrBuf *buf, const char *text);
// As strbuf_append_html, plus "<wbr>" after every '/' and '\\'.
bool strbuf_append_path_html(StrBuf *buf, const char *path);

// ---- Spectral chart --------------------------------------------------------

// What every chart of one page draws alike, made once: the grid and axes,
// and the trace's x coordinates as text, "x," for each bin from 20 Hz up.
struct ChartCommon {
    StrBuf grid;
    StrBuf xs;                   // the pieces one after another, with room for 8
                                 // bytes to be read from the start of the last
    HeapArray<uint8_t> lengths;  // bin k's piece has lengths[k] bytes, 0 below 20 Hz
    uint64_t bins = 0;           // 0 until made
    double bin_hz = 0.0;
    double nyquist_hz = 0.0;
    ChartCommon() {
        strbuf_init(&grid);
        strbuf_init(&xs);
    }
    ChartCommon(const ChartCommon &) = delete;
    ChartCommon &operator=(const ChartCommon &) = delete;
    ~ChartCommon() {
        strbuf_free(&grid);
        strbuf_free(&xs);
    }
};

// Makes `common` what every chart of a window of `window_samples` at
// `sample_rate` shares, unless it already is.
bool chart_common_prepare(ChartCommon *common, uint32_t sample_rate, uint64_t window_samples);

// Where the chart of the query window starting at `window_start` begins: the
// window shifted inward to lie wholly inside the file; -1 when the file is
// shorter than the window and the chart is only a note.
int64_t chart_window_start(const WavData &audio, uint64_t window_samples, int32_t window_start);

// What a chart may reuse (each may be null): working memory for its window
// length, the levels of the chart's own window (from chart_window_start),
// and what the page's charts share.
struct ChartSpectrum {
    SpectrumWork *work;
    const double *levels;
    ChartCommon *common;
};

// One channel's chart: the SVG plus its JSON data island, or only a note
// when the file is shorter than the window. `peak_count` is at most
// MAX_TOP_PEAKS; the peak arrays may be null when it is 0. False when an
// append or an allocation failed.
bool write_spectral_chart(StrBuf *out, const WavData &audio, uint64_t window_samples,
                          double noise_floor_db, int32_t window_start, const char *id_suffix,
                          uint32_t channel, const double *peak_freqs, const double *peak_levels,
                          uint64_t peak_count, ChartSpectrum reuse);

// ---- Chart toolbar and interaction script ----------------------------------

// Title, usage hint and the reset button of the frame `target_id`; neither
// text is escaped. `with_trace_toggle` adds the Both/Ref/DUT buttons.
bool write_scope_head(StrBuf *out, const char *title, const char *target_id,
                      bool with_trace_toggle);
// The script that redraws, zooms and pans every chart of the page.
bool write_zoom_script(StrBuf *out);

// ---- Fixed page texts ------------------------------------------------------

bool write_style_block(StrBuf *out);
bool write_theme_toggle(StrBuf *out);
bool write_theme_script(StrBuf *out);
