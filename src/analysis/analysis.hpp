// Spectral analysis: query geometry, the analysis window, the radix-2 FFT,
// one channel's level spectrum and its peaks.
//
//   QueryWindow w = make_query_window(rate, query_sample, 4096, 0.0, -80.0);
//   Peak peaks[MAX_TOP_PEAKS];
//   int64_t n = analyze_channel(wav, 0, w, 5, peaks, MAX_TOP_PEAKS);
//   if (n < 0) { /* out of memory, or wav.read_failed */ }
//
// The arithmetic follows a fixed order on purpose: it decides the last
// printed digit of every level and frequency.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/heap.hpp"
#include "wav/wav.hpp"

constexpr size_t MAX_TOP_PEAKS = 64;
constexpr double ANALYSIS_FLOOR_DB = -200.0;
constexpr double TWO_PI = 6.283185307179586;
constexpr double PI = 3.141592653589793;

struct QueryWindow {
    uint32_t query_sample;       // frame index of the query point
    int32_t window_start;        // query_sample - N/2; negative near the start
    uint64_t window_samples;     // N, a power of two
    double window_duration_ms;
    double resolution_hz;        // sample rate / N
    double min_separation_hz;
    double noise_floor_db;
};

struct Peak {
    double frequency_hz;
    double level_db;             // dB relative to full scale, window-corrected
};

struct ChannelResult {
    uint32_t channel;
    Peak top_peaks[MAX_TOP_PEAKS]; // strongest first
    uint64_t peak_count;           // at most MAX_TOP_PEAKS: analyze_channel never writes more
};

constexpr size_t MAX_CHANNEL_RESULTS = 8;

// The fixed-size result of one run, read by every writer; owns no heap memory.
struct QueryReport {
    const char *input_file;      // borrowed from the argument vector
    uint32_t sample_rate;
    uint32_t channels;           // the file's count, whatever was analysed
    double query_time_s;
    QueryWindow window;
    ChannelResult results[MAX_CHANNEL_RESULTS]; // ascending channel order
    uint64_t result_count;       // at most MAX_CHANNEL_RESULTS: the driver stops there
};

// A complex value of the FFT buffer: real part first.
struct Complex {
    double re;
    double im;
};

// Cannot fail. A min separation that is not above 0 (or NaN) becomes 4 bins.
QueryWindow make_query_window(uint32_t sample_rate, uint32_t query_sample, uint64_t n,
                              double min_separation_hz, double noise_floor_db);

// Weight of position i (0 <= i < n, n >= 2) of the shifted raised-cosine window.
double window_weight(uint64_t i, uint64_t n);

// In-place radix-2 transform of n values (a power of two); forward is unscaled,
// inverse divides by n. n <= 1 leaves the data alone.
void fft_in_place(Complex *data, uint64_t n, bool inverse);

// Level spectrum (n/2 bins) of one channel over frames start .. start+n-1;
// frames outside the file read as silence. `magnitudes` may be null.
// False when the working buffers can't be allocated or the window's frames
// can't be read (then wav.read_failed is set); the outputs are unspecified.
bool spectrum_db(const WavData &wav, uint32_t channel, int32_t start, uint64_t n,
                 double floor_db, double *levels, double *magnitudes);

// Each stage's twiddles for transforms of n values, made once: stage
// `half`'s twiddle j (0 <= j < half) is the j-th step of its recurrence from
// 1 + 0i, as every block of the stage would make it; its real part goes to
// twiddles[half + j], its imaginary part to twiddles[n + half + j].
void fft_twiddles(double *twiddles, uint64_t n);

// The forward transform of fft_in_place of data[i] = window[i] * samples[i]
// + 0i, on split parts (re[i] and im[i] are its element i), with
// fft_twiddles' table for n: every butterfly does the same operations in the
// same order, so every value comes out the same. `samples` and `window` lie
// apart from the parts.
void fft_forward_windowed(const double *samples, const double *window, double *re, double *im, uint64_t n,
                          const double *twiddles);

// Working memory for the spectra of one run, made once and reused for every
// channel and chart: the window weights and twiddles are computed once, each
// as a spectrum computed alone would, so no value differs. Owned
// by the caller; every block goes with it.
struct SpectrumWork {
    uint64_t n = 0;
    HeapSlab memory;              // everything below, in one block
    double *window = nullptr;     // n weights
    double *twiddles = nullptr;   // 2 n, fft_twiddles' table
    double *parts = nullptr;      // n real parts, then n imaginary ones a little
                                  // after; the magnitudes and levels may leave in
                                  // the first halves of the two
    Peak *candidates = nullptr;   // n / 2; until the peaks are sought, the
                                  // window's samples arrive in their room
    double *kept_levels = nullptr; // room for spectra a caller keeps, n / 2 levels each
    double *re() { return parts; }
    double *im() { return parts + n + SPLIT_SKEW; }
    double *magnitudes() { return re(); }
    double *levels() { return im(); }
    double *samples() { return reinterpret_cast<double *>(candidates); }
    double *kept(uint64_t i) { return kept_levels + i * (n / 2); }
    // Doubles between the two parts, so that re[i] and im[i] never share a
    // cache set (two arrays a power of two apart would).
    static constexpr uint64_t SPLIT_SKEW = 40;
};
// With room for `kept` spectra besides; false when memory runs out.
bool spectrum_work_init(SpectrumWork *work, uint64_t n, uint64_t kept = 0);
// spectrum_db for a window of work->n frames; false only when the frames
// can't be read.
bool spectrum_db_with(SpectrumWork *work, const WavData &wav, uint32_t channel, int32_t start,
                      double floor_db, double *levels, double *magnitudes);

// -1 / 0 / +1 ordering by level, highest first; frequencies are not consulted.
int compare_peak_level(const Peak *a, const Peak *b);

// The window's relative amplitude response at a fractional bin offset.
double peak_correction_factor(double offset);

// Writes up to min(max_peaks, capacity) peaks to `out`, strongest first, and
// returns their number; -1 when working memory can't be had or the window
// can't be read (`out` untouched; wav.read_failed tells which).
int64_t analyze_channel(const WavData &wav, uint32_t channel, const QueryWindow &window,
                        uint64_t max_peaks, Peak *out, uint64_t capacity);
// The same with the run's working memory (work->n is the window's length),
// leaving the channel's levels and magnitudes (n/2 each) in `levels` and
// `magnitudes` for the chart; -1 only when the window can't be read.
int64_t analyze_channel_with(SpectrumWork *work, const WavData &wav, uint32_t channel,
                             const QueryWindow &window, uint64_t max_peaks, Peak *out,
                             uint64_t capacity, double *levels, double *magnitudes);
