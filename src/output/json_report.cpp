#include <cstdio>

#include "output/json_writer.hpp"
#include "output/output.hpp"

// The one document buffer, reused from the start on every call. It always
// suffices: 8 results of at most 64 peak lines under 100 bytes each (every
// number, even a level of a huge float sample, prints in under 16 bytes),
// plus a head of under 2 KiB (a path that escapes to more than 511 bytes is
// left out), come to about 53 KB.
static char g_document[JSON_DOCUMENT_CAPACITY];

static void append_result(JsonBuf *buf, const ChannelResult &r) {
    json_appendf(buf, "        {\n            \"channel\": %u,\n", r.channel);
    if (r.peak_count > 0) {
        json_append(buf, "            \"dominant_peak\": ");
        json_appendf(buf, "%s{", "");
        json_appendf(buf, " \"frequency_hz\": %.4f, \"level_db\": %.4f }", r.top_peaks[0].frequency_hz,
                     r.top_peaks[0].level_db);
        json_append(buf, ",\n");
    } else {
        json_append(buf, "            \"dominant_peak\": null,\n");
    }
    json_append(buf, "            \"top_peaks\": [\n");
    const uint64_t count = r.peak_count;
    for (uint64_t j = 0; j < count; ++j) {
        json_appendf(buf, "%s{", "                ");
        json_appendf(buf, " \"rank\": %zu,", static_cast<size_t>(j + 1));
        json_appendf(buf, " \"frequency_hz\": %.4f, \"level_db\": %.4f }", r.top_peaks[j].frequency_hz,
                     r.top_peaks[j].level_db);
        json_append(buf, j + 1 < count ? ",\n" : "\n");
    }
    json_append(buf, "            ]\n        }");
}

void print_json_report(const QueryReport &report) {
    JsonBuf buf{g_document, sizeof g_document, 0};
    const QueryWindow &w = report.window;
    json_begin(&buf);
    json_add_string(&buf, "input_file", report.input_file ? report.input_file : "", true);
    json_add_int(&buf, "sample_rate", static_cast<int32_t>(report.sample_rate), true);
    json_add_int(&buf, "channels", static_cast<int32_t>(report.channels), true);
    json_add_double(&buf, "query_time_s", report.query_time_s, true);
    json_add_long(&buf, "query_sample", static_cast<int32_t>(w.query_sample), true);
    json_add_long(&buf, "window_samples", static_cast<int32_t>(w.window_samples & 0xFFFFFFFFu), true);
    json_add_double(&buf, "window_duration_ms", w.window_duration_ms, true);
    json_add_double(&buf, "resolution_hz", w.resolution_hz, true);
    json_add_double(&buf, "min_separation_hz", w.min_separation_hz, true);
    json_add_double(&buf, "noise_floor_db", w.noise_floor_db, true);
    json_append(&buf, "    \"results\": [\n");
    const uint64_t count = report.result_count;
    for (uint64_t i = 0; i < count; ++i) {
        append_result(&buf, report.results[i]);
        json_append(&buf, i + 1 < count ? ",\n" : "\n");
    }
    json_append(&buf, "    ]\n");
    json_end(&buf);
    std::fputs(buf.data, stdout);
}
