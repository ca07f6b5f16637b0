#include <cerrno>
#include <cstdlib>

#include "cli/cli.hpp"

int32_t parse_int_option(const char *text) {
    long v = std::strtol(text, nullptr, 10);
    // strtol saturates at the range of long; narrow by saturating again.
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

double parse_number_option(const char *text) { return std::strtod(text, nullptr); }
