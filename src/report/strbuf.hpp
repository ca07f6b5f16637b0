// The text buffer every piece of the report page is appended to, in memory
// or streamed to a file through a bounded buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/platform.hpp"

// Growable byte text, NUL-terminated once `data` exists. Capacity is 0 or
// 256 doubled k times; it never shrinks.
//
//   StrBuf b;
//   strbuf_init(&b);
//   bool ok = strbuf_appendf(&b, "%u Hz", rate) && strbuf_append_html(&b, name);
//   strbuf_free(&b);   // on every way out
//
// With a `sink`, the buffer stays within the capacity it has: when a piece
// does not fit, the text so far is written to the sink first, and a piece
// of plain bytes larger than the whole buffer goes straight after it.
struct StrBuf {
    char *data;        // owned; null until the first append that needs room
    uint64_t length;   // bytes of text, terminator excluded
    uint64_t capacity; // bytes allocated at `data`
    std::FILE *sink;   // borrowed; null for text kept in memory
};

void strbuf_init(StrBuf *buf);
// Releases the storage; safe on a buffer that never grew and after a free.
void strbuf_free(StrBuf *buf);
// Makes room for `bytes` of text in all, growing as appends would.
bool strbuf_reserve(StrBuf *buf, uint64_t bytes);
// Writes the text to the sink and empties the buffer; false when the write
// fell short.
bool strbuf_flush(StrBuf *buf);

// Each append returns false when memory runs out (or a format fails, or a
// sink's write falls short); without a sink the buffer is then exactly as
// before the call and still usable.
bool strbuf_append(StrBuf *buf, const char *text);
bool strbuf_append_char(StrBuf *buf, char c);
bool strbuf_appendf(StrBuf *buf, const char *format, ...) PRINTF_LIKE(2, 3);
// Appends `n` bytes as they are.
bool strbuf_append_bytes(StrBuf *buf, const char *bytes, size_t n);
// Appends `value` exactly as "%.2f" would, only faster: the chart's numbers
// all have two decimals.
bool strbuf_append_fixed(StrBuf *buf, double value);
// The values as strbuf_append_fixed writes them, `separator` between two.
bool strbuf_append_fixed_list(StrBuf *buf, const double *values, uint64_t count, char separator);
// For each value, its piece, the value as strbuf_append_fixed writes it and
// `after`; piece i is the next lengths[i] bytes at `pieces`, and a value
// whose piece is empty is left out. A piece is at most 8 bytes, and 8 bytes
// from the start of any piece can be read.
bool strbuf_append_fixed_pieces(StrBuf *buf, const char *pieces, const uint8_t *lengths, const double *values,
                                uint64_t count, char after);

// Text with " & ' < > replaced by entities. On false, the bytes before the
// failing one stay appended. An empty text allocates nothing.
bool strbuf_append_html(StrBuf *buf, const char *text);
// As strbuf_append_html, plus "<wbr>" after every '/' and '\\'.
bool strbuf_append_path_html(StrBuf *buf, const char *path);

// Owns the page buffer on every way out.
struct PageBuffer {
    StrBuf buf;
    PageBuffer() { strbuf_init(&buf); }
    PageBuffer(const PageBuffer &) = delete;
    PageBuffer &operator=(const PageBuffer &) = delete;
    ~PageBuffer() { strbuf_free(&buf); }
};
