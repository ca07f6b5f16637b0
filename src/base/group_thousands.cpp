#include <cinttypes>
#include <cstdio>

#include "base/group_thousands.hpp"

void group_thousands(uint64_t value, char *out, size_t size) {
    if (size == 0) return;
    char digits[24];
    int n = std::snprintf(digits, sizeof digits, "%" PRIu64, value);
    size_t len = n > 0 ? static_cast<size_t>(n) : 0;
    size_t w = 0;
    for (size_t i = 0; i < len && w + 1 < size; ++i) {
        out[w++] = digits[i];
        size_t right = len - 1 - i;
        if (right > 0 && right % 3 == 0 && w + 1 < size) out[w++] = ',';
    }
    out[w] = '\0';
}
