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
#include <cstdio>

#include "analysis/analysis.hpp"
#include "base/heap.hpp"
#include "report/strbuf.hpp"
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

// The scan's picture of one run: for each kept point and answered channel,
// the level of each row of a log-frequency grid (20 Hz, or the first bin,
// to half the sample rate) as one byte, and the point's peaks. At most
// SCAN_PICTURE_COLUMNS points are kept, evenly: every `stride`-th, the
// stride doubling whenever a stream of unknown length fills them.
constexpr uint64_t SCAN_PICTURE_COLUMNS = 1024;
constexpr uint32_t SCAN_PICTURE_ROWS = 360;
constexpr double SCAN_PICTURE_LOW_DB = -120.0; // byte 0; 255 is 0 dB and above
struct ScanPicture {
    uint32_t channels = 0;
    uint32_t top = 0;
    double low_hz = 0.0, high_hz = 0.0;
    uint64_t stride = 1;
    HeapArray<uint32_t> row_bins; // each row's first bin and one past its last
    HeapArray<double> times;      // of each column
    HeapArray<uint8_t> levels;    // column, channel, row
    HeapArray<Peak> peaks;        // column, channel, `top` each
    HeapArray<uint8_t> peak_counts;
    PageBuffer page; // the page passes through it to its file
};
// `points`: how many the run will answer, or 0 when not known (a stream).
bool scan_picture_init(ScanPicture *picture, uint32_t sample_rate, uint64_t window, uint32_t channels,
                       uint32_t top, uint64_t points);
// Whether point `ordinal` has a column, as the picture stands: a point
// without one never gets one later, and needs no levels.
bool scan_picture_shows(const ScanPicture &picture, uint64_t ordinal);
// Point `ordinal`'s answer for its k-th channel: its levels (window/2 bins,
// read only where it shows; null elsewhere) and peaks. Calls for one column come from one
// thread; a stream's come in order from one thread, as a file's stride is fixed.
void scan_picture_take(ScanPicture *picture, uint64_t ordinal, double seconds, uint32_t k,
                       const double *levels, const ChannelResult &result);

// What the scan's page shows besides its picture; all borrowed.
struct ScanPageSource {
    const char *input_file;
    const WavData *wav; // its format; frames, where known
    const char *version;
    const char *points_text;   // the points as asked, for the header
    uint64_t points;           // answered
    uint32_t first_channel;    // of those answered
    const QueryWindow *window; // of the first point (every point's geometry but the start)
};
// Writes the page into `file` (open, empty) through the picture's memory,
// asking for none; true when all of it got there.
bool write_scan_page(std::FILE *file, const ScanPageSource &source, ScanPicture *picture);
