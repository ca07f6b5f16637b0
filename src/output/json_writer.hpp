// The small JSON writer the JSON report's document is built from.
//
//   char text[256];
//   JsonBuf buf{text, sizeof text, 0};
//   json_begin(&buf) && json_add_int(&buf, "channels", 2, false) && json_end(&buf);
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/platform.hpp"

// A bounded text buffer: a piece is appended only when it fits whole with its
// terminator; a piece that does not fit is dropped and the length stays.
struct JsonBuf {
    char *data;
    uint64_t capacity; // bytes, terminator included
    uint64_t length;   // bytes of text, terminator excluded
};

constexpr size_t JSON_DOCUMENT_CAPACITY = 65536;

// Each returns false when its piece was not appended.
bool json_begin(JsonBuf *buf);
bool json_end(JsonBuf *buf);
bool json_add_string(JsonBuf *buf, const char *key, const char *value, bool more);
bool json_add_int(JsonBuf *buf, const char *key, int32_t value, bool more);
bool json_add_long(JsonBuf *buf, const char *key, int32_t value, bool more);
bool json_add_double(JsonBuf *buf, const char *key, double value, bool more);
void json_appendf(JsonBuf *buf, const char *format, ...) PRINTF_LIKE(2, 3);
// Appends a fixed piece under the same rule.
bool json_append(JsonBuf *buf, const char *text);
