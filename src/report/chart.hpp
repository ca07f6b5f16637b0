// The spectral chart of one channel, for the page writer and the tests:
// what the page's charts share, and the chart itself.
//
//   ChartCommon common;
//   if (!chart_common_prepare(&common, report.window, wav.sample_rate)) return false;
//   const int64_t start = inside_window_start(wav.frames, n, report.window.window_start);
//   // spectrum: spectrum_db's levels and magnitudes of the n frames from `start`
//   bool ok = write_spectral_chart(&page, report.results[0], report.window, wav.sample_rate, start,
//                                  spectrum, common);
#pragma once

#include <cstdint>

#include "base/heap.hpp"
#include "report/report.hpp"
#include "report/strbuf.hpp"

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

// Makes `common` what every chart of the query window's length shares;
// false when memory runs out.
bool chart_common_prepare(ChartCommon *common, const QueryWindow &window, uint32_t sample_rate);

// One channel's chart of its result: the SVG plus its JSON data island, or
// only a note when `start`, the chart's window as inside_window_start decided
// it, is -1. `spectrum` is that window's; a bin of magnitude zero is drawn at
// CHART_FLOOR_DB. `common` is prepared for the query window. False when an
// append failed.
bool write_spectral_chart(StrBuf *out, const ChannelResult &result, const QueryWindow &window,
                          uint32_t sample_rate, int64_t start, const Spectrum &spectrum,
                          const ChartCommon &common);
