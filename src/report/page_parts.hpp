// The pieces that tonesift's report and the scan's page share: the head,
// the top bar, a chart's title row, the footer with the theme script, and
// the buffer a page passes through.
#pragma once

#include <cstddef>
#include <cstdint>

#include "report/strbuf.hpp"
#include "wav/wav.hpp"

// The signal row up to the end of its format facts ("... &middot; "), for
// the caller's own facts and the row's closing tags.
bool write_signal_start(StrBuf *page, const char *input_file, const WavData &wav);

// Up to the body's frame: the title from the input's name, the style sheet
// and `more_style` (a whole <style> element, or "").
bool write_head(StrBuf *page, const char *input_file, const char *more_style);
bool write_top_bar(StrBuf *page, const char *version);
// Title, usage hint and the reset button of the frame `target_id`; neither
// text is escaped.
bool write_scope_head(StrBuf *out, const char *title, const char *target_id);
// The footer, the theme script, `script` (a whole <script> element) and the
// page's end.
bool write_footer(StrBuf *page, const char *version, const char *script);

// The page passes through this much memory on its way to the file; every
// formatted piece is far smaller.
constexpr uint64_t PAGE_BUFFER_BYTES = 65535;
