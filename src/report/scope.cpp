#include "report/assets.hpp"
#include "report/report.hpp"

bool write_scope_head(StrBuf *out, const char *title, const char *target_id,
                      bool with_trace_toggle) {
    if (!strbuf_appendf(out,
                        "<div class=\"scope-head\"><span class=\"title\">%s</span>\n<div "
                        "class=\"zoom-toolbar\"><span class=\"zoom-hint\">scroll to zoom &middot; drag "
                        "to pan &middot; shift+drag to box-zoom</span>",
                        title))
        return false;
    if (with_trace_toggle &&
        !strbuf_appendf(out,
                        "<div class=\"trace-toggle\" data-target=\"%s\">"
                        "<button type=\"button\" class=\"active\" data-mode=\"both\">Both</button>"
                        "<button type=\"button\" data-mode=\"ref\">Ref</button>"
                        "<button type=\"button\" data-mode=\"dut\">DUT</button></div>",
                        target_id))
        return false;
    return strbuf_appendf(out,
                          "<button type=\"button\" class=\"zoom-reset\" data-zoom-target=\"%s\">Reset "
                          "zoom</button></div>\n</div>\n",
                          target_id);
}

bool write_zoom_script(StrBuf *out) { return strbuf_append(out, report_zoom_script_text); }
