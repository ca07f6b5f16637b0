// HTML report: one self-contained page with a zoomable spectrum chart per
// analysed channel.
//
//   // One result, analysed by analyze_channel into work.kept_levels(0) and
//   // work.kept_magnitudes(0):
//   ReportSource src = {path_in, &wav, &report, TONESIFT_VERSION, &work,
//                       {{work.kept_levels(0), work.kept_magnitudes(0)}}};
//   if (!write_html_report("take.html", src)) { /* "failed to write" */ }
//
// Every allocation the page needs is made before the file is opened, so a
// failure of memory neither creates nor truncates it; the file is then
// truncated at open and the page streams into it through one bounded buffer.
#pragma once

#include <cstdint>

#include "analysis/analysis.hpp"
#include "wav/wav.hpp"

// The level a chart gives a bin of magnitude zero, and its bottom edge.
constexpr double CHART_FLOOR_DB = -140.0;

// One window's spectrum as spectrum_db leaves it: n/2 levels and the
// magnitudes they were made from.
struct Spectrum {
    const double *levels;
    const double *magnitudes;
};

// What the page writer reads; all borrowed, all valid during the call.
// `work` is the run's working memory for the report's window length, and
// spectra[i] result i's analysis spectrum.
struct ReportSource {
    const char *input_file;
    const WavData *wav;
    const QueryReport *report;
    const char *version;
    SpectrumWork *work;
    Spectrum spectra[MAX_CHANNEL_RESULTS];
};

// True when the whole page reached the file. Nothing is created or
// truncated when a failure comes before the writing; a failed write leaves
// the part of the page written so far.
bool write_html_report(const char *path, const ReportSource &source);
