// Result output: the run's QueryReport on standard output as text, one JSON
// document or CSV rows, plus the small JSON writer they are built from.
//
//   print_text_report(report);   // or print_json_report / print_csv_report
//
// None of the printers fails or reports write errors. Numbers use printf
// rules; the program never leaves the C locale, so the separator is a point.
#pragma once

#include <cstddef>
#include <cstdint>

#include "analysis/analysis.hpp"
#include "base/platform.hpp"

void print_text_report(const QueryReport &report);
void print_json_report(const QueryReport &report);
void print_csv_report(const QueryReport &report);

// A bounded text buffer: a piece is appended only when it fits whole with its
// terminator; a piece that does not fit is dropped and the length stays.
struct JsonBuf {
    char *data;
    uint64_t capacity;           // bytes, terminator included
    uint64_t length;             // bytes of text, terminator excluded
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
