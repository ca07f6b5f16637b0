// printf's fixed notation of doubles, in integers where it can be: the
// rows of a long scan print millions of them.
//
//   char text[PLATFORM_FIXED_TEXT];
//   *fixed_text(text, -12.34565, 4, 0) = '\0';   // "-12.3456", as "%.4f"
#pragma once

#include <cstdint>
#include <cstring>

// The two digits of 0 to 99 at 2 n and 2 n + 1.
inline constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline constexpr uint64_t FIXED_FIVES[5] = {1, 5, 25, 125, 625};

// |value| * 10^decimals rounded to an integer as printf's "%.<decimals>f"
// rounds the exact value (half to even), for decimals 0 to 4 and |value|
// below 2^(52 - decimals); false for any other value. Inline: the chart's
// loops take it for every number.
inline bool fixed_scaled(double value, int decimals, uint64_t *scaled) {
    if (decimals < 0 || decimals > 4) return false;
    const double limit = 4503599627370496.0 / static_cast<double>(uint64_t{1} << decimals); // 2^(52 - d)
    if (!(value < limit && value > -limit)) return false;
    // The value is m 2^-shift with shift > decimals, so value * 10^d is
    // m 5^d (below 2^63) shifted right by shift - d, rounded on the bits
    // shifted out.
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const uint64_t biased = (bits >> 52) & 0x7FF;
    uint64_t m = bits & ((uint64_t{1} << 52) - 1);
    if (biased != 0) m |= uint64_t{1} << 52;
    const uint64_t shift = (biased != 0 ? 1075 - biased : 1074) - static_cast<uint64_t>(decimals);
    const uint64_t product = m * FIXED_FIVES[decimals];
    uint64_t q = 0;
    if (shift < 64) { // else the value is far below half a unit of the last place
        q = product >> shift;
        const uint64_t rest = product & ((uint64_t{1} << shift) - 1);
        const uint64_t half = uint64_t{1} << (shift - 1);
        // Without branches: the digits of noise round either way at random.
        q += static_cast<uint64_t>(rest > half) | (static_cast<uint64_t>(rest == half) & q);
    }
    *scaled = q;
    return true;
}

// The decimal digits of `value`, at most 20; returns their end.
char *decimal_text(char *out, uint64_t value);

// printf's "%<width>.<decimals>f" of `value` at `out` (PLATFORM_FIXED_TEXT
// bytes suffice for widths up to 10), not terminated; returns its end.
char *fixed_text(char *out, double value, int decimals, int width);
