// A sample index as people read it: a comma between groups of three digits,
// counted from the right.
//
//   char text[32];
//   group_thousands(1234567, text, sizeof text);   // "1,234,567"
#pragma once

#include <cstddef>
#include <cstdint>

// Writes `value` NUL-terminated, cut to fit `size` (size >= 1); 32 bytes
// always suffice.
void group_thousands(uint64_t value, char *out, size_t size);
