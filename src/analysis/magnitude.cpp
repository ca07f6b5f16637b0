#include <cmath>

#include "analysis/analysis_internal.hpp"

#if defined(__x86_64__) && !defined(_WIN32)
#include <immintrin.h>
#endif

// hypot by the C library's own steps where it has no fused multiply-add
// (a rounded square root, then one correction from the two exact remainders),
// written out so that every platform makes the same value: the libraries
// disagree in the last bit, and several use the fused steps. A NaN or an
// infinity goes to the library's own.
static constexpr double LARGE = 0x1p+511, TINY = 0x1p-511, SCALE = 0x1p-600, EPS = 0x1p-54;

static double corrected_root(double ax, double ay) {
    double h = std::sqrt(ax * ax + ay * ay);
    double t1, t2;
    if (h <= 2.0 * ay) {
        const double delta = h - ay;
        t1 = ax * (2.0 * delta - ax);
        t2 = (delta - 2.0 * (ax - ay)) * delta;
    } else {
        const double delta = h - ax;
        t1 = 2.0 * delta * (ax - 2.0 * ay);
        t2 = (4.0 * delta - ay) * ay + delta * delta;
    }
    h -= (t1 + t2) / (2.0 * h);
    return h;
}

double exact_hypot(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return std::hypot(x, y);
    x = std::fabs(x);
    y = std::fabs(y);
    const double ax = x < y ? y : x;
    const double ay = x < y ? x : y;
    // Far from 1 the squares would overflow or lose their digits, so the
    // pair is scaled by a power of two there and back.
    if (ax > LARGE) {
        if (ay <= ax * EPS) return ax + ay;
        return corrected_root(ax * SCALE, ay * SCALE) / SCALE;
    }
    if (ay < TINY) {
        if (ax >= ay / EPS) return ax + ay;
        return corrected_root(ax / SCALE, ay / SCALE) * SCALE;
    }
    if (ay <= ax * EPS) return ax + ay;
    return corrected_root(ax, ay);
}

#if defined(__x86_64__) && !defined(_WIN32)
// Four at once where the processor has AVX: both sides of the correction's
// choice are made and the right one kept, lane by lane, so each lane is
// exact_hypot's value. Groups with a value outside the plain range take
// the scalar steps.
[[gnu::target("avx")]] static uint64_t scaled_hypot_quads(const double *re, const double *im, double *out,
                                                          uint64_t count, double scale) {
    const __m256d sign = _mm256_set1_pd(-0.0), two = _mm256_set1_pd(2.0), four = _mm256_set1_pd(4.0);
    const __m256d large = _mm256_set1_pd(LARGE), tiny = _mm256_set1_pd(TINY), eps = _mm256_set1_pd(EPS);
    const __m256d factor = _mm256_set1_pd(scale);
    uint64_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256d x = _mm256_andnot_pd(sign, _mm256_loadu_pd(re + k));
        const __m256d y = _mm256_andnot_pd(sign, _mm256_loadu_pd(im + k));
        const __m256d ax = _mm256_max_pd(x, y), ay = _mm256_min_pd(x, y);
        // On the parts themselves, as max and min pass over a NaN: the
        // ordered compares fail for a NaN or an infinity.
        const __m256d in_range = _mm256_and_pd(_mm256_cmp_pd(x, large, _CMP_LE_OQ),
                                               _mm256_cmp_pd(y, large, _CMP_LE_OQ));
        const __m256d plain = _mm256_and_pd(_mm256_cmp_pd(ay, tiny, _CMP_GE_OQ),
                                            _mm256_cmp_pd(ay, _mm256_mul_pd(ax, eps), _CMP_GT_OQ));
        // A zero part (the DC bin's, or silence) leaves the other as it is.
        const __m256d zero = _mm256_cmp_pd(ay, _mm256_setzero_pd(), _CMP_EQ_OQ);
        if (_mm256_movemask_pd(_mm256_and_pd(in_range, _mm256_or_pd(plain, zero))) != 0xF) {
            for (uint64_t i = k; i < k + 4; ++i) out[i] = exact_hypot(re[i], im[i]) * scale;
            continue;
        }
        const __m256d h = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(ax, ax), _mm256_mul_pd(ay, ay)));
        const __m256d near = _mm256_cmp_pd(h, _mm256_mul_pd(two, ay), _CMP_LE_OQ);
        const __m256d dy = _mm256_sub_pd(h, ay);
        const __m256d near1 = _mm256_mul_pd(ax, _mm256_sub_pd(_mm256_mul_pd(two, dy), ax));
        const __m256d near2 = _mm256_mul_pd(_mm256_sub_pd(dy, _mm256_mul_pd(two, _mm256_sub_pd(ax, ay))), dy);
        const __m256d dx = _mm256_sub_pd(h, ax);
        const __m256d far1 = _mm256_mul_pd(_mm256_mul_pd(two, dx), _mm256_sub_pd(ax, _mm256_mul_pd(two, ay)));
        const __m256d far2 = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(four, dx), ay), ay),
                                           _mm256_mul_pd(dx, dx));
        const __m256d t = _mm256_add_pd(_mm256_blendv_pd(far1, near1, near),
                                        _mm256_blendv_pd(far2, near2, near));
        const __m256d m = _mm256_blendv_pd(_mm256_sub_pd(h, _mm256_div_pd(t, _mm256_mul_pd(two, h))), ax,
                                           zero);
        _mm256_storeu_pd(out + k, _mm256_mul_pd(m, factor));
    }
    return k;
}
#endif

void scaled_magnitudes(const double *re, const double *im, double *out, uint64_t count, double scale) {
    uint64_t k = 0;
#if defined(__x86_64__) && !defined(_WIN32)
    if (__builtin_cpu_supports("avx")) k = scaled_hypot_quads(re, im, out, count, scale);
#endif
    for (; k < count; ++k) out[k] = exact_hypot(re[k], im[k]) * scale;
}
