#include <cmath>
#include <cstring>

#include "analysis/analysis_internal.hpp"

double window_weight(uint64_t i, uint64_t n) {
    // Phase index i + 1: the symmetric raised cosine advanced by one position.
    double x = static_cast<double>(i + 1) * TWO_PI / static_cast<double>(n - 1);
    return (1.0 - std::cos(x)) * 0.5;
}

// Bits to drop after reversing all 32 bits of an index below n = 2^k.
static int reverse_shift(uint64_t n) {
    int shift = 32;
    for (uint64_t size = n; size > 1; size >>= 1) --shift;
    return shift;
}

// i with its k bits reversed: all 32 reversed by masks and then shifted
// down, without a branch.
static uint64_t reverse_bits(uint64_t i, int shift) {
    uint32_t r = static_cast<uint32_t>(i);
    r = (r >> 1 & 0x55555555u) | (r & 0x55555555u) << 1;
    r = (r >> 2 & 0x33333333u) | (r & 0x33333333u) << 2;
    r = (r >> 4 & 0x0F0F0F0Fu) | (r & 0x0F0F0F0Fu) << 4;
    r = (r >> 8 & 0x00FF00FFu) | (r & 0x00FF00FFu) << 8;
    return static_cast<uint64_t>(r >> 16 | r << 16) >> shift; // 32 for n = 1
}

// Bit-reversal permutation of n = 2^k (at most 2^32) entries, as swap(i, r)
// of each pair once.
template <typename Swap> static void bit_reverse(uint64_t n, Swap swap) {
    const int shift = reverse_shift(n);
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t r = reverse_bits(i, shift);
        if (i < r) swap(i, r);
    }
}

template <typename T> static void swap_values(T *a, T *b) {
    const T t = *a;
    *a = *b;
    *b = t;
}

// The stage's rotation, and the twiddle after w: one step of the recurrence
// that starts at 1 + 0i in every block.
struct Rotation {
    double c, s;
};
static Rotation stage_rotation(uint64_t len, bool inverse) {
    const double theta = (inverse ? TWO_PI : -TWO_PI) / static_cast<double>(len);
    return {std::cos(theta), std::sin(theta)};
}
static Complex rotate(Rotation r, Complex w) { return {r.c * w.re - r.s * w.im, r.s * w.re + r.c * w.im}; }

static inline void butterfly(Complex *a, Complex *b, Complex w) {
    const double tr = w.re * b->re - w.im * b->im;
    const double ti = w.re * b->im + w.im * b->re;
    const double ur = a->re;
    const double ui = a->im;
    a->re = ur + tr;
    a->im = ui + ti;
    b->re = ur - tr;
    b->im = ui - ti;
}

void fft_in_place(Complex *data, uint64_t n, bool inverse) {
    bit_reverse(n, [data](uint64_t i, uint64_t r) { swap_values(&data[i], &data[r]); });
    // Every block of a stage runs through the same twiddles, so each is made
    // once and applied to all blocks before the next.
    for (uint64_t len = 2; len <= n; len <<= 1) {
        const Rotation r = stage_rotation(len, inverse);
        const uint64_t half = len / 2;
        Complex w{1.0, 0.0};
        for (uint64_t j = 0; j < half; ++j) {
            for (uint64_t s0 = 0; s0 < n; s0 += len) butterfly(&data[s0 + j], &data[s0 + j + half], w);
            w = rotate(r, w);
        }
    }
    if (inverse) {
        double scale = static_cast<double>(n);
        for (uint64_t i = 0; i < n; ++i) {
            data[i].re /= scale;
            data[i].im /= scale;
        }
    }
}

namespace {

// Lanes of doubles (the compilers' vector extension: SSE2 registers on x86,
// and AVX ones where the processor has them); each lane's arithmetic is the
// scalar operation, and with contraction off nothing is fused, so every
// width gives the same values. Why: the 8-channel 32768-sample query takes
// 1.16 x as long with one lane (paired runs, 2026-12).
typedef double Pair __attribute__((vector_size(16)));

template <typename V> [[gnu::always_inline]] inline void load(V &v, const double *p) {
    std::memcpy(&v, p, sizeof v);
}
template <typename V> [[gnu::always_inline]] inline void store(double *p, const V &v) {
    std::memcpy(p, &v, sizeof v);
}

// `butterfly` on every lane: a = a + w b, b = a - w b.
template <typename V>
[[gnu::always_inline]] inline void lanes_butterfly(V &ar, V &ai, V &br, V &bi, const V &wr, const V &wi) {
    const V tr = wr * br - wi * bi;
    const V ti = wr * bi + wi * br;
    br = ar - tr;
    bi = ai - ti;
    ar = ar + tr;
    ai = ai + ti;
}

// Stages h, 2h, ..., 2^(K-1) h in one pass (h at least the lanes): elements
// j + t h (t < 2^K) of a block of 2^K h go through every stage's butterflies
// in registers, the same operations on the same values as stage after
// stage. `wre` and `wim` hold the stages' h, 2h, ... twiddles one after
// another.
template <typename V, int K> [[gnu::always_inline]] inline void
stages_in_registers(double *re, double *im, uint64_t n, uint64_t h, const double *wre, const double *wim) {
    constexpr uint64_t lanes = sizeof(V) / sizeof(double), rows = uint64_t{1} << K;
    for (uint64_t s0 = 0; s0 < n; s0 += rows * h) {
        double *r0 = re + s0, *i0 = im + s0;
        for (uint64_t j = 0; j < h; j += lanes) {
            V xr[rows], xi[rows];
#pragma GCC unroll 8
            for (uint64_t t = 0; t < rows; ++t) {
                load(xr[t], r0 + t * h + j);
                load(xi[t], i0 + t * h + j);
            }
            // Stage `span` h pairs row u with u + span, by twiddle u mod span.
#pragma GCC unroll 3
            for (int stage = 0; stage < K; ++stage) {
                const uint64_t span = uint64_t{1} << stage;
#pragma GCC unroll 4
                for (uint64_t t = 0; t < span; ++t) {
                    V wr, wi;
                    load(wr, wre + (span - 1 + t) * h + j);
                    load(wi, wim + (span - 1 + t) * h + j);
#pragma GCC unroll 4
                    for (uint64_t u = t; u < rows; u += 2 * span)
                        lanes_butterfly(xr[u], xi[u], xr[u + span], xi[u + span], wr, wi);
                }
            }
#pragma GCC unroll 8
            for (uint64_t t = 0; t < rows; ++t) {
                store(r0 + t * h + j, xr[t]);
                store(i0 + t * h + j, xi[t]);
            }
        }
    }
}

// The stages after the first, two (or with `three`, three: sixteen values
// and a twiddle stay in registers only with the widest lanes) at a time;
// the first pass (h = 2) is one pair wide whatever the lanes.
template <typename V, bool three = false> [[gnu::always_inline]] inline void
stages_from_second(double *re, double *im, uint64_t n, const double *twiddles) {
    stages_in_registers<Pair, 2>(re, im, n, 2, twiddles + 2, twiddles + n + 2);
    uint64_t half = 8;
    // Only while a pass's sixteen rows lie within 4 KiB: further apart they
    // meet in the same sets of the first-level cache.
    if (three)
        for (; 4 * half < n && half <= 64; half *= 8)
            stages_in_registers<V, 3>(re, im, n, half, twiddles + half, twiddles + n + half);
    for (; 2 * half < n; half *= 4)
        stages_in_registers<V, 2>(re, im, n, half, twiddles + half, twiddles + n + half);
    if (half < n) stages_in_registers<V, 1>(re, im, n, half, twiddles + half, twiddles + n + half);
}

#if defined(__x86_64__) && !defined(_WIN32)
// Four lanes where the processor has AVX. Not on Windows,
// whose compilers here don't keep 32-byte values aligned on the stack.
typedef double Quad __attribute__((vector_size(32)));

[[gnu::target("avx")]] void later_stages_quads(double *re, double *im, uint64_t n, const double *twiddles) {
    stages_from_second<Quad>(re, im, n, twiddles);
}

// Eight where it has AVX-512 (the stages' blocks begin at eight values).
typedef double Oct __attribute__((vector_size(64)));

[[gnu::target("avx512f")]] void later_stages_octs(double *re, double *im, uint64_t n,
                                                  const double *twiddles) {
    stages_from_second<Oct, true>(re, im, n, twiddles);
}
#endif

void later_stages(double *re, double *im, uint64_t n, const double *twiddles) {
#if defined(__x86_64__) && !defined(_WIN32)
    if (__builtin_cpu_supports("avx512f")) return later_stages_octs(re, im, n, twiddles);
    if (__builtin_cpu_supports("avx")) return later_stages_quads(re, im, n, twiddles);
#endif
    stages_from_second<Pair>(re, im, n, twiddles);
}

} // namespace

void fft_twiddles(double *twiddles, uint64_t n) {
    for (uint64_t half = 1; half < n; half *= 2) {
        const Rotation r = stage_rotation(2 * half, false);
        Complex w{1.0, 0.0};
        for (uint64_t j = 0; j < half; ++j) {
            twiddles[half + j] = w.re;
            twiddles[n + half + j] = w.im;
            w = rotate(r, w);
        }
    }
}

void fft_forward_windowed(const double *samples, const double *window, double *re, double *im, uint64_t n,
                          const double *twiddles) {
    // Elements i and i + n/2 meet in the first stage, at r and r + 1 (r is i
    // reversed), so one pass places, weights and combines them. With the
    // twiddle 1 + 0i and imaginary parts 0, the butterfly's real parts are
    // u + v and u - v and its imaginary ones +0 (finite samples; others
    // are refused), so those are written as zeros.
    const uint64_t half = n / 2;
    std::memset(im, 0, static_cast<size_t>(n) * sizeof(double));
    // i = a n/8 + 8 b + c goes to rev(c) n/8 + 8 rev(b) + rev(a): taking
    // every a and c for one b reads and writes whole cache lines. Why: index
    // by index, the 8-channel 32768-sample query takes 1.04 x as long.
    static constexpr uint64_t REVERSED[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    const uint64_t eighth = n / 8;
    const int shift = reverse_shift(n / 64);
    for (uint64_t b = 0; b < n / 64; ++b) {
        const uint64_t rb = 8 * reverse_bits(b, shift);
        for (uint64_t a = 0; a < 4; ++a) {
            const uint64_t i0 = a * eighth + 8 * b;
            double u[8], v[8];
            for (uint64_t c = 0; c < 8; ++c) {
                u[c] = window[i0 + c] * samples[i0 + c];
                v[c] = window[i0 + c + half] * samples[i0 + c + half];
            }
            for (uint64_t c = 0; c < 8; ++c) {
                double *r = re + REVERSED[c] * eighth + rb + REVERSED[a];
                r[0] = u[c] + v[c];
                r[1] = u[c] - v[c];
            }
        }
    }
    later_stages(re, im, n, twiddles);
}
