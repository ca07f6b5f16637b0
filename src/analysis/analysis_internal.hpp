// The analysis module's own pieces, for its sources and their unit tests:
// the window, the transforms and the peak interpolation's correction.
#pragma once

#include <cmath>
#include <cstdint>

constexpr double TWO_PI = 6.283185307179586;
constexpr double PI = 3.141592653589793;

// A complex value of the FFT buffer: real part first.
struct Complex {
    double re;
    double im;
};

// Weight of position i (0 <= i < n, n >= 2) of the shifted raised-cosine window.
double window_weight(uint64_t i, uint64_t n);

// The plain in-place radix-2 transform of n values (a power of two): the
// reference that the run's transform is held to, value for value. Forward is
// unscaled, inverse divides by n.
void fft_in_place(Complex *data, uint64_t n, bool inverse);

// Each stage's twiddles for transforms of n values, made once: stage
// `half`'s twiddle j (0 <= j < half) is the j-th step of its recurrence from
// 1 + 0i, as every block of the stage would make it; its real part goes to
// twiddles[half + j], its imaginary part to twiddles[n + half + j].
void fft_twiddles(double *twiddles, uint64_t n);

// The forward transform of fft_in_place of data[i] = window[i] * samples[i]
// + 0i for n >= 64 (the windows are 1024 .. 32768), on split parts (re[i]
// and im[i] are its element i), with fft_twiddles' table for n: every
// butterfly does the same operations in the same order, so every value
// comes out the same. `samples` and `window` lie apart from the parts.
void fft_forward_windowed(const double *samples, const double *window, double *re, double *im, uint64_t n,
                          const double *twiddles);

// The window's relative amplitude response at a fractional bin offset.
double peak_correction_factor(double offset);

// hypot of x and y, the same value on every platform where both are finite:
// that of the C library's steps without fused multiply-add.
double exact_hypot(double x, double y);

// out[k] = exact_hypot(re[k], im[k]) * scale for k < count; out may be re or im.
void scaled_magnitudes(const double *re, const double *im, double *out, uint64_t count, double scale);

// A bin's magnitude times this is its amplitude.
inline double magnitude_scale(uint64_t n) { return 4.0 / static_cast<double>(n); }

// The level in dB of a bin's magnitude; `floor_db` for a magnitude of zero.
inline double level_of(double magnitude, double floor_db) {
    return magnitude > 0.0 ? 20.0 * std::log10(magnitude) : floor_db;
}

struct SpectrumWork;
struct WavData;
// The window's frames from `start` (silence outside the file), weighted and
// transformed into the work's parts; false when they can't be read. With
// `silent`, a window of zeros is told there and not transformed: each
// weight and butterfly would leave its parts 0.
bool windowed_transform(SpectrumWork *work, const WavData &wav, uint32_t channel, int32_t start,
                        bool *silent);

// A local maximum of the levels on its way to being a peak. Its offset and
// level cost a division, a sine and a logarithm, and most of a noisy
// spectrum's are never looked at, so until they are worked out `level_db`
// is a bound above the level and the frequency is not yet known.
struct PeakCandidate {
    double level_db;
    double frequency_hz;
    uint64_t bin;
    bool exact; // level_db and frequency_hz are the candidate's
};
