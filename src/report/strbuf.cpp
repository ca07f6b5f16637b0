#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/heap.hpp"
#include "report/report.hpp"

namespace {

// Makes room for `required` bytes (terminator included). On failure the
// record is untouched and its old storage still owned by it.
bool strbuf_reserve(StrBuf *buf, uint64_t required) {
    return heap_reserve(&buf->data, &buf->capacity, required);
}

// Bytes needed after appending `n` more, terminator included; 0 on overflow.
uint64_t strbuf_required(const StrBuf *buf, uint64_t n) {
    if (n > UINT64_MAX - 1 - buf->length) return 0;
    return buf->length + n + 1;
}

// Entity for a byte that must not appear raw in HTML text or attributes.
const char *html_entity(unsigned char c) {
    switch (c) {
    case '"': return "&quot;";
    case '&': return "&amp;";
    case '\'': return "&#39;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    default: return nullptr;
    }
}

// Byte by byte, so a failure leaves exactly the bytes before the failing one.
bool append_escaped(StrBuf *buf, const char *text, bool break_after_separators) {
    for (const char *p = text; *p != '\0'; ++p) {
        const char *entity = html_entity(static_cast<unsigned char>(*p));
        if (!(entity ? strbuf_append(buf, entity) : strbuf_append_char(buf, *p))) return false;
        if (break_after_separators && (*p == '/' || *p == '\\') && !strbuf_append(buf, "<wbr>"))
            return false;
    }
    return true;
}

} // namespace

void strbuf_init(StrBuf *buf) {
    buf->data = nullptr;
    buf->length = 0;
    buf->capacity = 0;
}

void strbuf_free(StrBuf *buf) {
    heap_free(buf->data);
    strbuf_init(buf);
}

bool strbuf_append_bytes(StrBuf *buf, const char *bytes, size_t n) {
    const uint64_t required = strbuf_required(buf, n);
    if (required == 0 || !strbuf_reserve(buf, required)) return false;
    std::memcpy(buf->data + buf->length, bytes, n);
    buf->length += n;
    buf->data[buf->length] = '\0';
    return true;
}

bool strbuf_append(StrBuf *buf, const char *text) {
    return strbuf_append_bytes(buf, text, std::strlen(text));
}

bool strbuf_append_fixed(StrBuf *buf, double value, int decimals) {
    // Fixed notation with a precision is defined as printf's "%.*f" in the C
    // locale, byte for byte, and is several times faster: the chart's
    // thousands of coordinates are written through here. It formats straight
    // into the spare room; only when that is too small does printf measure
    // and grow the buffer as usual.
    if (buf->data && buf->capacity > buf->length + 1) {
        char *const first = buf->data + buf->length;
        char *const last = buf->data + buf->capacity - 1; // keep room for the terminator
        const std::to_chars_result r =
            std::to_chars(first, last, value, std::chars_format::fixed, decimals);
        if (r.ec == std::errc()) {
            buf->length += static_cast<uint64_t>(r.ptr - first);
            buf->data[buf->length] = '\0';
            return true;
        }
    }
    return strbuf_appendf(buf, "%.*f", decimals, value);
}

bool strbuf_append_char(StrBuf *buf, char c) {
    const uint64_t required = strbuf_required(buf, 1);
    if (required == 0 || !strbuf_reserve(buf, required)) return false;
    buf->data[buf->length] = c;
    buf->length += 1;
    buf->data[buf->length] = '\0';
    return true;
}

bool strbuf_appendf(StrBuf *buf, const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int measured = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    bool ok = false;
    if (measured >= 0) {
        const uint64_t n = static_cast<uint64_t>(measured);
        const uint64_t required = strbuf_required(buf, n);
        if (required != 0 && strbuf_reserve(buf, required)) {
            std::vsnprintf(buf->data + buf->length, static_cast<size_t>(n + 1), format, args);
            buf->length += n;
            ok = true;
        }
    }
    va_end(args);
    return ok;
}

bool strbuf_append_html(StrBuf *buf, const char *text) { return append_escaped(buf, text, false); }

bool strbuf_append_path_html(StrBuf *buf, const char *path) {
    return append_escaped(buf, path, true);
}
