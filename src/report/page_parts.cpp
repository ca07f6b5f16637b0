#include <cstdio>
#include <cstring>
#include <ctime>

#include "report/assets.hpp"
#include "report/page_parts.hpp"
#include "wav/wav.hpp"

// Last path component ('/' or '\\') without its last extension, cut to
// size - 1 bytes. A leading dot is not an extension.
static void path_stem(const char *path, char *out, size_t size) {
    const char *component = path;
    for (const char *p = path; *p != '\0'; ++p)
        if (*p == '/' || *p == '\\') component = p + 1;
    size_t stem_length = std::strlen(component);
    const char *dot = std::strrchr(component, '.');
    if (dot && dot != component) stem_length = static_cast<size_t>(dot - component);
    const size_t n = stem_length < size - 1 ? stem_length : size - 1;
    std::memcpy(out, component, n);
    out[n] = '\0';
}

// Now, as "YYYY-MM-DD HH:MM:SS UTC"; 64 bytes always suffice.
static void utc_timestamp(char *out, size_t size) {
    const std::time_t now = std::time(nullptr);
    const std::tm *utc = std::gmtime(&now);
    if (!utc || std::strftime(out, size, "%Y-%m-%d %H:%M:%S UTC", utc) == 0) out[0] = '\0';
}

static const char *encoding_label(uint32_t encoding) {
    switch (encoding) {
    case WAV_ENCODING_INT16: return "16-bit";
    case WAV_ENCODING_INT24: return "24-bit";
    case WAV_ENCODING_INT32: return "32-bit";
    case WAV_ENCODING_FLOAT32: return "32-bit float";
    case WAV_ENCODING_FLOAT64: return "64-bit float";
    default: return "unknown";
    }
}

// One and two channels have their names; a wider file says how many it has.
static void channel_label(uint32_t channels, char *out, size_t size) {
    if (channels == 1) std::snprintf(out, size, "Mono");
    else if (channels == 2) std::snprintf(out, size, "Stereo");
    else std::snprintf(out, size, "%u channels", channels);
}

bool write_signal_start(StrBuf *page, const char *input_file, const WavData &wav) {
    char channels_text[32];
    channel_label(wav.channels, channels_text, sizeof channels_text);
    const double duration_s = static_cast<double>(wav.frames) / static_cast<double>(wav.sample_rate);
    return strbuf_append(page, "<div class=\"signal-row\">\n<div class=\"signal-id single\">\n<span "
                               "class=\"tag\">Signal</span>\n<span class=\"fname\">") &&
           strbuf_append_path_html(page, input_file) &&
           strbuf_appendf(page,
                          "</span>\n</div>\n<div class=\"signal-meta\">%u Hz &middot; %s &middot; %s "
                          "&middot; %.2fs &middot; ",
                          wav.sample_rate, encoding_label(wav.encoding), channels_text, duration_s);
}

// Both icons start visible; the theme script hides the one that does not apply.
static bool write_theme_toggle(StrBuf *out) {
    return strbuf_append(
        out, "<button type=\"button\" class=\"theme-toggle\" id=\"themeToggle\" aria-label=\"Switch to dark "
             "theme\">\n  <svg class=\"ti-sun\" viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" "
             "stroke-width=\"2\" stroke-linecap=\"round\" stroke-linejoin=\"round\"><circle cx=\"12\" "
             "cy=\"12\" r=\"4\"/><path d=\"M12 2v2M12 20v2M4.93 4.93l1.41 1.41M17.66 17.66l1.41 1.41M2 "
             "12h2M20 12h2M4.93 19.07l1.41-1.41M17.66 6.34l1.41-1.41\"/></svg>\n  <svg class=\"ti-moon\" "
             "viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" stroke-width=\"2\" "
             "stroke-linecap=\"round\" stroke-linejoin=\"round\"><path d=\"M21 12.79A9 9 0 1111.21 3 7 7 0 "
             "0021 12.79z\"/></svg>\n</button>\n");
}

bool write_scope_head(StrBuf *out, const char *title, const char *target_id) {
    return strbuf_appendf(out,
                          "<div class=\"scope-head\"><span class=\"title\">%s</span>\n<div "
                          "class=\"zoom-toolbar\"><span class=\"zoom-hint\">scroll to zoom &middot; drag "
                          "to pan &middot; shift+drag to box-zoom</span>",
                          title) &&
           strbuf_appendf(out,
                          "<button type=\"button\" class=\"zoom-reset\" data-zoom-target=\"%s\">Reset "
                          "zoom</button></div>\n</div>\n",
                          target_id);
}

bool write_head(StrBuf *page, const char *input_file, const char *more_style) {
    char stem[256];
    path_stem(input_file, stem, sizeof stem);
    return strbuf_append(page, "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                               "<title>") &&
           strbuf_append_html(page, stem) && strbuf_append(page, " -- tonesift</title>\n") &&
           strbuf_append(page, report_style_text) && strbuf_append(page, more_style) &&
           strbuf_append(page, "</head>\n<body>\n<div class=\"dash\">\n");
}

bool write_top_bar(StrBuf *page, const char *version) {
    return strbuf_append(
               page,
               "<div class=\"topbar\">\n<div class=\"brand\">\n<span class=\"glyph\"><svg viewBox=\"0 0 24 "
               "24\" fill=\"none\" xmlns=\"http://www.w3.org/2000/svg\"><path d=\"M2,13 Q4.5,8 7,13 T12,13 "
               "T17,13 T22,13\" stroke=\"white\" stroke-width=\"1.6\" stroke-linecap=\"round\" "
               "fill=\"none\"/><line x1=\"12\" y1=\"3\" x2=\"12\" y2=\"21\" stroke=\"white\" "
               "stroke-width=\"1.2\" stroke-dasharray=\"1.8,1.8\" opacity=\"0.8\"/><circle cx=\"12\" "
               "cy=\"13\" r=\"2.4\" fill=\"white\"/></svg></span>\n<span "
               "class=\"name\">tonesift</span>\n</div>\n<div class=\"right\">\n<div class=\"meta\">") &&
           strbuf_appendf(page, "<b>v%s</b></div>\n", version) && write_theme_toggle(page) &&
           strbuf_append(page, "</div>\n</div>\n");
}

bool write_footer(StrBuf *page, const char *version, const char *script) {
    char stamp[64];
    utc_timestamp(stamp, sizeof stamp);
    return strbuf_appendf(page,
                          "<footer>\n<div class=\"footer-row-top\">\n<span><b>tonesift</b> "
                          "v%s</span>\n<span>report generated %s</span>\n</div>\n</footer>\n",
                          version, stamp) &&
           strbuf_append(page, "</div>\n") && strbuf_append(page, report_theme_script_text) &&
           strbuf_append(page, script) && strbuf_append(page, "</body>\n</html>\n");
}
