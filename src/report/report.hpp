// HTML report: one self-contained page with a zoomable spectrum chart per
// analysed channel, built in memory and written with one write.
//
//   ReportSource src = {path_in, &wav, &report, TONESIFT_VERSION};
//   if (!write_html_report("take.html", src)) { /* nothing created or truncated */ }
#pragma once

#include "output/output.hpp"
#include "wav/wav.hpp"

// What the page writer reads; all borrowed, all valid during the call.
struct ReportSource {
    const char *input_file;
    const WavData *wav;
    const QueryReport *report;
    const char *version;
};

// True when the whole page reached the file. On a failure while building,
// the file is neither created nor truncated.
bool write_html_report(const char *path, const ReportSource &source);
