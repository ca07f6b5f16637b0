#include "report/assets.hpp"
#include "report/report.hpp"

bool write_style_block(StrBuf *out) { return strbuf_append(out, report_style_text); }

// Both icons start visible; the theme script hides the one that does not apply.
bool write_theme_toggle(StrBuf *out) {
    return strbuf_append(
        out,
        "<button type=\"button\" class=\"theme-toggle\" id=\"themeToggle\" aria-label=\"Switch to dark "
        "theme\">\n  <svg class=\"ti-sun\" viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" "
        "stroke-width=\"2\" stroke-linecap=\"round\" stroke-linejoin=\"round\"><circle cx=\"12\" "
        "cy=\"12\" r=\"4\"/><path d=\"M12 2v2M12 20v2M4.93 4.93l1.41 1.41M17.66 17.66l1.41 1.41M2 "
        "12h2M20 12h2M4.93 19.07l1.41-1.41M17.66 6.34l1.41-1.41\"/></svg>\n  <svg class=\"ti-moon\" "
        "viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"currentColor\" stroke-width=\"2\" "
        "stroke-linecap=\"round\" stroke-linejoin=\"round\"><path d=\"M21 12.79A9 9 0 1111.21 3 7 7 0 "
        "0021 12.79z\"/></svg>\n</button>\n");
}

bool write_theme_script(StrBuf *out) { return strbuf_append(out, report_theme_script_text); }
