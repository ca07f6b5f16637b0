// Spectral analysis: query geometry, one channel's level spectrum and its
// peaks, in working memory made once per run.
//
//   QueryWindow w = make_query_window(rate, query_sample, 4096, 0.0, -80.0);
//   SpectrumWork work;
//   if (!spectrum_work_init(&work, w.window_samples)) { /* out of memory */ }
//   Peak peaks[MAX_TOP_PEAKS];
//   int64_t n = analyze_channel(&work, wav, 0, w, 5, peaks, MAX_TOP_PEAKS, work.levels(), work.magnitudes());
//   if (n < 0) { /* the window could not be read: wav.read_failed */ }
//
// The arithmetic follows a fixed order on purpose: it decides the last
// printed digit of every level and frequency.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/heap.hpp"
#include "wav/wav.hpp"

constexpr size_t MAX_TOP_PEAKS = 64;

struct QueryWindow {
    uint32_t query_sample;   // frame index of the query point
    int32_t window_start;    // query_sample - N/2; negative near the start
    uint64_t window_samples; // N, a power of two
    double window_duration_ms;
    double resolution_hz; // sample rate / N
    double min_separation_hz;
    double noise_floor_db;
};

struct Peak {
    double frequency_hz;
    double level_db; // dB relative to full scale, window-corrected
};

struct ChannelResult {
    uint32_t channel;
    Peak top_peaks[MAX_TOP_PEAKS]; // strongest first
    uint64_t peak_count;           // at most MAX_TOP_PEAKS: analyze_channel never writes more
};

constexpr size_t MAX_CHANNEL_RESULTS = 8;

// The fixed-size result of one run, read by every writer; owns no heap memory.
struct QueryReport {
    const char *input_file; // borrowed from the argument vector
    uint32_t sample_rate;
    uint32_t channels; // the file's count, whatever was analysed
    double query_time_s;
    QueryWindow window;
    ChannelResult results[MAX_CHANNEL_RESULTS]; // ascending channel order
    uint64_t result_count;                      // at most MAX_CHANNEL_RESULTS: the driver stops there
};

// Cannot fail. A min separation that is not above 0 (or NaN) becomes 4 bins.
QueryWindow make_query_window(uint32_t sample_rate, uint32_t query_sample, uint64_t n,
                              double min_separation_hz, double noise_floor_db);

// The start of the window of n frames from `window_start` shifted inward to
// lie inside a recording of `frames` frames, as a chart draws it; -1 when
// the recording is shorter than the window.
int64_t inside_window_start(uint64_t frames, uint64_t n, int32_t window_start);

// What a query at `query_sample` with windows of n frames reads: each frame
// its window can reach, shifted inside the recording or not, whatever the
// recording's length (none for a sample no recording holds), of the
// channels it analyses (`channel`, or the first MAX_CHANNEL_RESULTS).
WavSpan query_reads(int64_t query_sample, uint64_t n, int32_t channel, uint32_t channels);

struct PeakCandidate; // the analysis's own

// Working memory for the spectra of one run, made once and reused for every
// channel and chart: the window weights and twiddles are computed once, each
// as a spectrum computed alone would, so no value differs. Owned
// by the caller; every block goes with it.
struct SpectrumWork {
    uint64_t n = 0;
    HeapSlab memory;                     // everything below, in one block
    double *window = nullptr;            // n weights
    double *twiddles = nullptr;          // 2 n, fft_twiddles' table
    double *parts = nullptr;             // n real parts, then n imaginary ones a little
                                         // after; the magnitudes and levels may leave in
                                         // the first halves of the two
    PeakCandidate *candidates = nullptr; // n / 4; until the peaks are sought,
                                         // the window's samples arrive in their room
    double *kept_spectra = nullptr;      // room for spectra a caller keeps, n / 2 levels
                                         // then n / 2 magnitudes each
    double *re() { return parts; }
    double *im() { return parts + n + SPLIT_SKEW; }
    double *magnitudes() { return re(); }
    double *levels() { return im(); }
    double *samples() { return reinterpret_cast<double *>(candidates); }
    double *kept_levels(uint64_t i) { return kept_spectra + i * n; }
    double *kept_magnitudes(uint64_t i) { return kept_spectra + i * n + n / 2; }
    // Doubles between the two parts, so that re[i] and im[i] never share a
    // cache set (two arrays a power of two apart would).
    static constexpr uint64_t SPLIT_SKEW = 40;
};
// With room for `kept` spectra besides; false when memory runs out.
bool spectrum_work_init(SpectrumWork *work, uint64_t n, uint64_t kept = 0);
// Level spectrum (n/2 bins, n = work->n) of one channel over frames start ..
// start+n-1; frames outside the file read as silence, a bin of magnitude
// zero as `floor_db`. `magnitudes` may be null; either output may be the
// work's own levels() and magnitudes(). False only when the frames can't be
// read (wav.read_failed is then set).
bool spectrum_db(SpectrumWork *work, const WavData &wav, uint32_t channel, int32_t start, double floor_db,
                 double *levels, double *magnitudes);

// Writes up to min(max_peaks, capacity) peaks of the window to `out`,
// strongest first, and returns their number, leaving the channel's levels
// and magnitudes (n/2 each) in `levels` and `magnitudes` for the chart; -1
// only when the window can't be read (`out` untouched). With `levels` null
// no spectrum is left, and only the bins that decide the peaks have their
// magnitudes and levels made: the same peaks, sooner.
int64_t analyze_channel(SpectrumWork *work, const WavData &wav, uint32_t channel, const QueryWindow &window,
                        uint64_t max_peaks, Peak *out, uint64_t capacity, double *levels, double *magnitudes);
