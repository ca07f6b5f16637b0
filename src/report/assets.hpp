// The page's fixed texts, generated at build time from style.css, theme.js
// and zoom.js (each already wrapped in its <style> or <script> element).
#pragma once

extern const char report_style_text[];
extern const char report_theme_script_text[];
extern const char report_zoom_script_text[];
// The scan's page adds its own style sheet and chart script.
extern const char report_scan_style_text[];
extern const char report_spectro_script_text[];
