#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/fixed_text.hpp"
#include "base/heap.hpp"
#include "report/strbuf.hpp"

namespace {

// Bytes needed after appending `n` more, terminator included; 0 on overflow.
uint64_t strbuf_required(const StrBuf *buf, uint64_t n) {
    if (n > UINT64_MAX - 1 - buf->length) return 0;
    return buf->length + n + 1;
}

// Makes room for `n` more bytes and their terminator, first by handing the
// text so far to the sink. On failure without a sink the record is untouched
// and its old storage still owned by it.
bool strbuf_room(StrBuf *buf, uint64_t n) {
    uint64_t required = strbuf_required(buf, n);
    if (required == 0) return false;
    if (required <= buf->capacity) return true;
    if (buf->sink && buf->length > 0) {
        if (!strbuf_flush(buf)) return false;
        required = n + 1;
    }
    return heap_reserve(&buf->data, &buf->capacity, required);
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
        if (break_after_separators && (*p == '/' || *p == '\\') && !strbuf_append(buf, "<wbr>")) return false;
    }
    return true;
}

} // namespace

void strbuf_init(StrBuf *buf) {
    buf->data = nullptr;
    buf->length = 0;
    buf->capacity = 0;
    buf->sink = nullptr;
}

bool strbuf_reserve(StrBuf *buf, uint64_t bytes) {
    if (bytes == UINT64_MAX || !heap_reserve(&buf->data, &buf->capacity, bytes + 1)) return false;
    buf->data[buf->length] = '\0';
    return true;
}

bool strbuf_flush(StrBuf *buf) {
    if (buf->length == 0) return true;
    if (!buf->sink) return false;
    const size_t n = static_cast<size_t>(buf->length);
    if (std::fwrite(buf->data, 1, n, buf->sink) != n) return false;
    buf->length = 0;
    buf->data[0] = '\0';
    return true;
}

void strbuf_free(StrBuf *buf) {
    heap_free(buf->data);
    strbuf_init(buf);
}

bool strbuf_append_bytes(StrBuf *buf, const char *bytes, size_t n) {
    if (buf->sink && n >= buf->capacity) // would not fit even when empty
        return strbuf_flush(buf) && std::fwrite(bytes, 1, n, buf->sink) == n;
    if (!strbuf_room(buf, n)) return false;
    std::memcpy(buf->data + buf->length, bytes, n);
    buf->length += n;
    buf->data[buf->length] = '\0';
    return true;
}

bool strbuf_append(StrBuf *buf, const char *text) {
    return strbuf_append_bytes(buf, text, std::strlen(text));
}

namespace {

// printf's "%.2f" of a value below 2^50 in magnitude, done in integers
// (fixed_scaled). Returns the end of the text written at `out` (24 bytes
// suffice), or null when the value is not of that kind. Why: through the
// library's conversion alone, a page of eight 32768-sample charts takes
// 1.97 x as long (paired runs, 2026-12).
[[gnu::always_inline]] inline char *format_two_decimals(double value, char *out) {
    uint64_t q;
    if (!fixed_scaled(value, 2, &q)) return nullptr;
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    char *p = out;
    *p = '-';
    p += bits >> 63;
    uint32_t fraction;
    if (q < 100000) {
        // A chart's coordinates and levels: up to three digits, without
        // branches, in one register with the leading zeros shifted out.
        const auto q32 = static_cast<uint32_t>(q);
        const uint32_t whole = q32 / 100;
        fraction = q32 - whole * 100;
        const uint32_t high = whole / 100;
        const uint32_t low = whole - high * 100;
        const uint32_t skip = static_cast<uint32_t>(whole < 100) + static_cast<uint32_t>(whole < 10);
        const uint32_t three = (('0' + high) |
                                static_cast<uint32_t>(static_cast<unsigned char>(DIGIT_PAIRS[2 * low])) << 8 |
                                static_cast<uint32_t>(static_cast<unsigned char>(DIGIT_PAIRS[2 * low + 1]))
                                    << 16) >>
                               (8 * skip);
        p[0] = static_cast<char>(three & 0xFF);
        p[1] = static_cast<char>(three >> 8 & 0xFF);
        p[2] = static_cast<char>(three >> 16);
        p += 3 - skip;
    } else {
        fraction = static_cast<uint32_t>(q % 100);
        p = decimal_text(p, q / 100);
    }
    *p++ = '.';
    *p++ = DIGIT_PAIRS[2 * fraction];
    *p++ = DIGIT_PAIRS[2 * fraction + 1];
    return p;
}

} // namespace

bool strbuf_append_fixed(StrBuf *buf, double value) {
    // Fixed notation with a precision is defined as printf's in the C locale,
    // byte for byte; the chart's many coordinates and levels come through
    // here, so the common case is formatted in integers, in place when there
    // is room, and only the rest by the library.
    const uint64_t required = strbuf_required(buf, 24);
    if (required != 0 && buf->capacity >= required) {
        char *const end = format_two_decimals(value, buf->data + buf->length);
        if (end) {
            *end = '\0';
            buf->length = static_cast<uint64_t>(end - buf->data);
            return true;
        }
    } else {
        char text[24];
        const char *const end = format_two_decimals(value, text);
        if (end) return strbuf_append_bytes(buf, text, static_cast<size_t>(end - text));
    }
    return strbuf_appendf(buf, "%.2f", value);
}

namespace {

// Appends the entries of a list of numbers, each `before` (n bytes), the
// value, then `after` unless that is '\0'; entry(i, &before, &n, &value)
// gives entry i, or false to leave it out. Room for the common case, a
// number of at most 24 bytes, is made ahead and the entry written in place
// with the text's end kept in a register; any other value goes the long way.
// Every `before` is at most 8 bytes and 8 can be read there, so it is
// copied as one word. Why: appended a piece at a time, a page of
// eight 32768-sample charts takes 1.16 x as long (paired runs, 2026-12).
template <typename Entry> bool append_entries(StrBuf *buf, uint64_t count, char after, Entry entry) {
    char *p = buf->data ? buf->data + buf->length : nullptr;
    const char *limit = buf->data ? buf->data + buf->capacity : nullptr;
    const auto settle = [&] { // the text so far counted and terminated
        if (!p) return;
        *p = '\0';
        buf->length = static_cast<uint64_t>(p - buf->data);
    };
    for (uint64_t i = 0; i < count; ++i) {
        const char *before;
        size_t n;
        double value;
        if (!entry(i, &before, &n, &value)) continue;
        if (!p || static_cast<uint64_t>(limit - p) <= n + 25) {
            settle();
            if (n >= UINT64_MAX - 32 || !strbuf_room(buf, n + 25)) return false;
            p = buf->data + buf->length;
            limit = buf->data + buf->capacity;
        }
        std::memcpy(p, before, 8);
        char *const end = format_two_decimals(value, p + n);
        if (end) {
            p = end;
            if (after != '\0') *p++ = after;
            continue;
        }
        settle();
        if (!strbuf_append_bytes(buf, before, n) || !strbuf_append_fixed(buf, value) ||
            (after != '\0' && !strbuf_append_char(buf, after)))
            return false;
        p = buf->data + buf->length;
        limit = buf->data + buf->capacity;
    }
    settle();
    return true;
}

} // namespace

bool strbuf_append_fixed_list(StrBuf *buf, const double *values, uint64_t count, char separator) {
    const char padded_separator[8] = {separator};
    return append_entries(buf, count, '\0', [&](uint64_t i, const char **b, size_t *n, double *v) {
        *b = padded_separator;
        *n = i > 0 ? 1 : 0;
        *v = values[i];
        return true;
    });
}

bool strbuf_append_fixed_pieces(StrBuf *buf, const char *pieces, const uint8_t *lengths, const double *values,
                                uint64_t count, char after) {
    return append_entries(buf, count, after, [&](uint64_t i, const char **b, size_t *n, double *v) {
        if (lengths[i] == 0) return false;
        *b = pieces;
        *n = lengths[i];
        *v = values[i];
        pieces += lengths[i];
        return true;
    });
}

bool strbuf_append_char(StrBuf *buf, char c) {
    if (!strbuf_room(buf, 1)) return false;
    buf->data[buf->length] = c;
    buf->length += 1;
    buf->data[buf->length] = '\0';
    return true;
}

bool strbuf_appendf(StrBuf *buf, const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    // Formatted straight into the spare room, which mostly holds the piece;
    // when it does not, the count says how much room to make first.
    const size_t spare = buf->data ? static_cast<size_t>(buf->capacity - buf->length) : 0;
    char *const end = buf->data ? buf->data + buf->length : nullptr;
    const int written = std::vsnprintf(end, spare, format, args);
    bool ok = false;
    if (written >= 0 && static_cast<uint64_t>(written) < spare) {
        buf->length += static_cast<uint64_t>(written);
        ok = true;
    } else {
        if (end) *end = '\0'; // whatever was cut there is not text
        if (written >= 0 && strbuf_room(buf, static_cast<uint64_t>(written))) {
            std::vsnprintf(buf->data + buf->length, static_cast<size_t>(written) + 1, format, again);
            buf->length += static_cast<uint64_t>(written);
            ok = true;
        }
    }
    va_end(again);
    va_end(args);
    return ok;
}

bool strbuf_append_html(StrBuf *buf, const char *text) { return append_escaped(buf, text, false); }

bool strbuf_append_path_html(StrBuf *buf, const char *path) { return append_escaped(buf, path, true); }
