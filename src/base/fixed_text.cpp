#include "base/fixed_text.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/platform.hpp"

static constexpr uint64_t TENS[5] = {1, 10, 100, 1000, 10000};

char *decimal_text(char *out, uint64_t value) {
    int digits = 1;
    for (uint64_t limit = 10; digits < 20 && value >= limit; limit *= 10) ++digits;
    char *d = out + digits; // written from the last digit
    for (; value >= 100; value /= 100) {
        const uint64_t pair = value % 100;
        *--d = DIGIT_PAIRS[2 * pair + 1];
        *--d = DIGIT_PAIRS[2 * pair];
    }
    if (value >= 10) {
        *--d = DIGIT_PAIRS[2 * value + 1];
        *--d = DIGIT_PAIRS[2 * value];
    } else {
        *--d = static_cast<char>('0' + value);
    }
    return out + digits;
}

char *fixed_text(char *out, double value, int decimals, int width) {
    uint64_t q;
    if (!fixed_scaled(value, decimals, &q)) {
        const int n = std::snprintf(out, PLATFORM_FIXED_TEXT, "%*.*f", width, decimals, value);
        return out + (n > 0 ? n : 0);
    }
    char text[32];
    char *p = text;
    // As printf: the sign of a negative value that rounds to zero stays.
    if (std::signbit(value)) *p++ = '-';
    const uint64_t ten = TENS[decimals];
    p = decimal_text(p, q / ten);
    if (decimals > 0) {
        *p++ = '.';
        uint64_t fraction = q % ten;
        for (int i = decimals; i > 0; --i, fraction /= 10) p[i - 1] = static_cast<char>('0' + fraction % 10);
        p += decimals;
    }
    const auto length = static_cast<int>(p - text);
    const int pad = width > length ? width - length : 0;
    std::memset(out, ' ', static_cast<size_t>(pad));
    std::memcpy(out + pad, text, static_cast<size_t>(length));
    return out + pad + length;
}
