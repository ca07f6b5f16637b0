// The spectral chart of one channel, for the page writer and the tests:
// what the page's charts share, where a chart places its window, and the
// chart itself.
//
//   ChartCommon common;
//   if (!chart_common_prepare(&common, wav.sample_rate, n)) return false;
//   // levels: the spectrum of the window at chart_window_start(wav, n, w.window_start)
//   bool ok = write_spectral_chart(&page, wav, n, -80.0, w.window_start, "-ch0",
//                                  freqs, peak_levels, count, levels, common);
#pragma once

#include <cstdint>

#include "base/heap.hpp"
#include "report/report.hpp"
#include "report/strbuf.hpp"
#include "wav/wav.hpp"

// What every chart of one page draws alike, made once: the grid and axes,
// and the trace's x coordinates as text, "x," for each bin from 20 Hz up.
struct ChartCommon {
    StrBuf grid;
    StrBuf xs;                  // the pieces one after another, with room for 8
                                // bytes to be read from the start of the last
    HeapArray<uint8_t> lengths; // bin k's piece has lengths[k] bytes, 0 below 20 Hz
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
// `sample_rate` shares; false when memory runs out.
bool chart_common_prepare(ChartCommon *common, uint32_t sample_rate, uint64_t window_samples);

// Where the chart of the query window starting at `window_start` begins: the
// window shifted inward to lie wholly inside the file; -1 when the file is
// shorter than the window and the chart is only a note.
int64_t chart_window_start(const WavData &audio, uint64_t window_samples, int32_t window_start);

// One channel's chart: the SVG plus its JSON data island, or only a note
// when the file is shorter than the window. `levels` are the n/2 levels of
// the chart's own window (chart_window_start), a bin of magnitude zero read
// as CHART_FLOOR_DB; `common` is prepared for this window length.
// `peak_count` is at most MAX_TOP_PEAKS; the peak arrays may be null when it
// is 0. False when an append failed.
bool write_spectral_chart(StrBuf *out, const WavData &audio, uint64_t window_samples, double noise_floor_db,
                          int32_t window_start, const char *id_suffix, const double *peak_freqs,
                          const double *peak_levels, uint64_t peak_count, const double *levels,
                          const ChartCommon &common);
