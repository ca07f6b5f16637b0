#include <bit>
#include <cstring>

#include "wav/wav.hpp"
#include "wav/wav_internal.hpp"

// Widening a float to double keeps "all exponent bits set", so the raw bits
// tell NaN and infinity apart from finite values without converting. The
// samples of one branch-free pass:
static constexpr uint64_t FLOAT_STRETCH = 256;
template <typename Word, Word exponent>
[[gnu::always_inline]] inline bool any_all_ones_exponent(const unsigned char *raw) {
    // Adding the exponent's lowest bit to the masked exponent carries into the
    // sign position exactly when every exponent bit is set.
    constexpr Word low_bit = exponent & (~exponent + 1);
    // Only the upper 32 bits hold a double's exponent; working on those keeps
    // the loop in 32-bit lanes, which vectorise on every x86-64.
    constexpr unsigned shift = sizeof(Word) * 8 - 32;
    constexpr auto exponent32 = static_cast<uint32_t>(exponent >> shift);
    constexpr auto low_bit32 = static_cast<uint32_t>(low_bit >> shift);
    uint32_t carries = 0;
    for (uint64_t i = 0; i < FLOAT_STRETCH; ++i) {
        Word w;
        std::memcpy(&w, raw + i * sizeof(Word), sizeof(Word));
        carries |= (static_cast<uint32_t>(w >> shift) & exponent32) + low_bit32;
    }
    return (carries & 0x80000000u) != 0;
}

template <typename Word, Word exponent>
[[gnu::always_inline]] inline uint64_t find_all_ones_exponent(const unsigned char *raw, uint64_t count) {
    // A branch-free pass over whole stretches (vectorised: this is the cost of
    // loading a float file), and a sample-by-sample look only where it found
    // something, and in the last partial stretch.
    uint64_t at = 0;
    while (at + FLOAT_STRETCH <= count && !any_all_ones_exponent<Word, exponent>(raw + at * sizeof(Word)))
        at += FLOAT_STRETCH;
    for (; at < count; ++at) {
        Word w;
        std::memcpy(&w, raw + at * sizeof(Word), sizeof(Word));
        if ((w & exponent) == exponent) return at;
    }
    return count;
}

#if defined(__x86_64__) && !defined(_WIN32)
// Twice the lanes where the processor has AVX2: the block the check has
// just read is in the cache, so the lanes, not memory, set the pace.
[[gnu::target("avx2")]] static uint64_t find_wide(const unsigned char *raw, uint64_t count, bool f32) {
    return f32 ? find_all_ones_exponent<uint32_t, 0x7F800000u>(raw, count)
               : find_all_ones_exponent<uint64_t, 0x7FF0000000000000u>(raw, count);
}
#endif

uint64_t wav_find_non_finite(const unsigned char *raw, uint64_t count, uint32_t encoding) {
    if constexpr (std::endian::native == std::endian::little) {
#if defined(__x86_64__) && !defined(_WIN32)
        if (__builtin_cpu_supports("avx2") &&
            (encoding == WAV_ENCODING_FLOAT32 || encoding == WAV_ENCODING_FLOAT64))
            return find_wide(raw, count, encoding == WAV_ENCODING_FLOAT32);
#endif
        if (encoding == WAV_ENCODING_FLOAT32)
            return find_all_ones_exponent<uint32_t, 0x7F800000u>(raw, count);
        if (encoding == WAV_ENCODING_FLOAT64)
            return find_all_ones_exponent<uint64_t, 0x7FF0000000000000u>(raw, count);
    } else {
        if (encoding == WAV_ENCODING_FLOAT32) {
            for (uint64_t i = 0; i < count; ++i)
                if ((le32(raw + 4 * i) & 0x7F800000u) == 0x7F800000u) return i;
        } else if (encoding == WAV_ENCODING_FLOAT64) {
            for (uint64_t i = 0; i < count; ++i)
                if ((le32(raw + 8 * i + 4) & 0x7FF00000u) == 0x7FF00000u) return i;
        }
    }
    return count;
}
