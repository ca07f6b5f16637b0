#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "output/json_writer.hpp"

// Longest escaped string value; the escape area holds it plus a terminator.
static constexpr size_t JSON_ESCAPED_MAX = 511;

// A piece goes in only whole, with room left for its terminator.
bool json_append(JsonBuf *buf, const char *text) {
    const size_t n = std::strlen(text);
    if (!(buf->length + n < buf->capacity)) return false;
    std::memcpy(buf->data + buf->length, text, n + 1); // terminator included
    buf->length += n;
    return true;
}

bool json_begin(JsonBuf *buf) {
    buf->length = 0;
    if (buf->capacity > 0) buf->data[0] = '\0';
    return json_append(buf, "{\n");
}

bool json_end(JsonBuf *buf) { return json_append(buf, "}\n"); }

// Escapes into `out` (JSON_ESCAPED_MAX + 1 bytes); false when it would not fit.
static bool escape_json(const char *value, char *out) {
    size_t w = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(value); *p; ++p) {
        char esc = 0;
        switch (*p) {
        case '"': esc = '"'; break;
        case '\\': esc = '\\'; break;
        case '\n': esc = 'n'; break;
        case '\r': esc = 'r'; break;
        case '\t': esc = 't'; break;
        default: break;
        }
        if (esc) {
            if (w + 2 > JSON_ESCAPED_MAX) return false;
            out[w++] = '\\';
            out[w++] = esc;
        } else {
            if (w >= JSON_ESCAPED_MAX) return false;
            out[w++] = static_cast<char>(*p);
        }
    }
    out[w] = '\0';
    return true;
}

// Formats into a fixed line buffer (cut to size - 1) and appends the line.
static bool append_line_v(JsonBuf *buf, char *line, size_t size, const char *format, va_list ap) {
    return std::vsnprintf(line, size, format, ap) >= 0 && json_append(buf, line);
}
static bool append_line(JsonBuf *buf, char *line, size_t size, const char *format, ...) PRINTF_LIKE(4, 5);
static bool append_line(JsonBuf *buf, char *line, size_t size, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    const bool ok = append_line_v(buf, line, size, format, ap);
    va_end(ap);
    return ok;
}

bool json_add_string(JsonBuf *buf, const char *key, const char *value, bool more) {
    char escaped[JSON_ESCAPED_MAX + 1];
    if (!escape_json(value, escaped)) return false;
    char line[600];
    return append_line(buf, line, sizeof line, "    \"%s\": \"%s\"%s\n", key, escaped, more ? "," : "");
}

// "%d" and "%ld" of a 32-bit value are the same text; the two writers
// differ only in how long a line they keep.
static bool add_integer(JsonBuf *buf, const char *key, int32_t value, bool more, char *line, size_t size) {
    return append_line(buf, line, size, "    \"%s\": %d%s\n", key, value, more ? "," : "");
}

bool json_add_int(JsonBuf *buf, const char *key, int32_t value, bool more) {
    char line[128];
    return add_integer(buf, key, value, more, line, sizeof line);
}

bool json_add_long(JsonBuf *buf, const char *key, int32_t value, bool more) {
    char line[160];
    return add_integer(buf, key, value, more, line, sizeof line);
}

bool json_add_double(JsonBuf *buf, const char *key, double value, bool more) {
    char number[PLATFORM_FIXED_TEXT];
    char line[160];
    platform_format_fixed(number, sizeof number, 6, value);
    return append_line(buf, line, sizeof line, "    \"%s\": %s%s\n", key, number, more ? "," : "");
}

void json_appendf(JsonBuf *buf, const char *format, ...) {
    char line[256];
    va_list ap;
    va_start(ap, format);
    append_line_v(buf, line, sizeof line, format, ap);
    va_end(ap);
}
