#include <cerrno>
#include <cstring>

#include "analysis/analysis.hpp"
#include "base/platform.hpp"
#include "cli/cli.hpp"
#include "cli/scan_internal.hpp"

ScanHtml::~ScanHtml() {
    if (!file) return;
    std::fclose(file);
    platform_remove(temp.data);
}

static bool cannot_write(const ScanHtml &html, const char *what, int error) {
    std::fprintf(stderr, "error: failed to write '%s' (%s%s%s)\n", html.path, what, error ? ": " : "",
                 error ? std::strerror(error) : "");
    return false;
}

bool scan_html_begin(ScanHtml *html, const ScanOptions &o, uint32_t rate, const WavSpan &reads,
                     uint64_t points) {
    html->path = o.html;
    html->first_channel = reads.channel;
    // The page must never replace the recording it shows.
    if (platform_same_file(o.html, o.input)) return cannot_write(*html, "it is the input", 0);
    const size_t length = std::strlen(o.html);
    static const char SUFFIX[] = ".partial";
    if (!html->temp.allocate(length + sizeof SUFFIX) ||
        !scan_picture_init(&html->picture, rate, static_cast<uint64_t>(o.window_samples), reads.channels,
                           static_cast<uint32_t>(o.top), points))
        return std::fputs("error: out of memory\n", stderr), false;
    std::memcpy(html->temp.data, o.html, length);
    std::memcpy(html->temp.data + length, SUFFIX, sizeof SUFFIX);
    if (platform_same_file(html->temp.data, o.input))
        return cannot_write(*html, "its .partial file is the input", 0);
    errno = 0;
    html->file = platform_fopen(html->temp.data, "wb");
    return html->file || cannot_write(*html, "cannot create it", errno);
}

bool scan_html_end(ScanHtml *html, const ScanOptions &o, const WavData &wav, uint64_t points,
                   double last_seconds) {
    const QueryWindow window = make_query_window(wav.sample_rate, 0, static_cast<uint64_t>(o.window_samples),
                                                 o.min_separation_hz, o.noise_floor_db);
    char asked[160];
    if (o.every)
        std::snprintf(asked, sizeof asked, "every %.6g s, %.3f s to %.3f s", parse_number_option(o.every),
                      html->picture.times[0], last_seconds);
    else std::snprintf(asked, sizeof asked, "listed, %.3f s to %.3f s", html->picture.times[0], last_seconds);
    const ScanPageSource source{o.input, &wav, TONESIFT_VERSION, asked, points, html->first_channel, &window};
    errno = 0;
    bool ok = points > 0 && write_scan_page(html->file, source, &html->picture);
    const int error = errno;
    ok = std::fclose(html->file) == 0 && ok;
    html->file = nullptr;
    if (!ok) {
        platform_remove(html->temp.data);
        return cannot_write(*html, points ? "a write failed" : "no point was answered", error);
    }
    errno = 0;
    if (platform_replace(html->temp.data, o.html)) return true;
    const int moved = errno;
    platform_remove(html->temp.data);
    return cannot_write(*html, "cannot put it in place", moved);
}
