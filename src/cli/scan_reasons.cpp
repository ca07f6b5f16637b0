#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "cli/cli.hpp"
#include "cli/scan_internal.hpp"
#include "wav/wav.hpp"

// The reader's cause in words, with its figures. A chunk's identifier is
// shown as far as it is printable.
static void describe(char *out, size_t size, const WavFailure &f) {
    char id[5] = {};
    for (int i = 0; i < 4; ++i) id[i] = f.chunk[i] >= ' ' && f.chunk[i] <= '~' ? f.chunk[i] : '?';
    const char *system = f.error ? std::strerror(f.error) : nullptr;
    const char *codec = f.a == 2 ? " (ADPCM)" : f.a == 6 ? " (A-law)" : f.a == 7 ? " (mu-law)" : "";
    switch (f.reason) {
    case WavReason::cannot_open:
        std::snprintf(out, size, "cannot open it%s%s", system ? ": " : "", system ? system : "");
        break;
    case WavReason::directory: std::snprintf(out, size, "it is a directory"); break;
    case WavReason::not_riff: std::snprintf(out, size, "not a RIFF/WAVE file"); break;
    case WavReason::short_format:
        std::snprintf(out, size, "its \"fmt \" chunk has %" PRIu64 " bytes, fewer than 16", f.a);
        break;
    case WavReason::format_code:
    case WavReason::sub_format:
        std::snprintf(out, size, "%s %" PRIu64 "%s is not integer PCM (1) or IEEE float (3)",
                      f.reason == WavReason::format_code ? "format code" : "extensible sub-format", f.a,
                      codec);
        break;
    case WavReason::width:
        std::snprintf(out, size,
                      "%" PRIu64 "-bit %s samples; it reads 16, 24 or 32-bit integer and 32 or 64-bit float",
                      f.a, f.b ? "float" : "integer");
        break;
    case WavReason::no_channels: std::snprintf(out, size, "its format has 0 channels"); break;
    case WavReason::no_rate: std::snprintf(out, size, "its format has a sample rate of 0"); break;
    case WavReason::no_format: std::snprintf(out, size, "it has no \"fmt \" chunk"); break;
    case WavReason::no_data: std::snprintf(out, size, "it has no \"data\" chunk"); break;
    case WavReason::cut_short:
        std::snprintf(out, size,
                      "its \"%s\" chunk is cut short: %" PRIu64 " bytes declared, %" PRIu64 " there", id, f.a,
                      f.b);
        break;
    case WavReason::partial_frame:
        std::snprintf(out, size, "its %" PRIu64 " data bytes are not whole frames of %" PRIu64 " bytes", f.a,
                      f.b);
        break;
    case WavReason::format_after_data:
        std::snprintf(out, size, "its last \"fmt \" chunk comes after its last \"data\" chunk");
        break;
    case WavReason::non_finite:
        std::snprintf(out, size,
                      "contains NaN or infinite samples, first at frame %" PRIu64 ", channel %" PRIu64, f.a,
                      f.b);
        break;
    case WavReason::read_error:
        std::snprintf(out, size, "a read failed: %s", system ? system : "it ended early");
        break;
    case WavReason::none:
    case WavReason::no_memory: std::snprintf(out, size, "%s", wav_error_text()); break;
    }
}

void report_unreadable(const char *path) {
    const WavFailure &f = wav_failure();
    if (f.reason == WavReason::no_memory) {
        std::fputs("error: out of memory\n", stderr);
        return;
    }
    char why[256];
    describe(why, sizeof why, f);
    std::fprintf(stderr, "error: failed to read '%s' (%s)\n", path, why);
}

void report_outside(int64_t sample, const char *path, uint64_t frames) {
    if (sample >= 0) return report_point_outside(sample, path, frames);
    std::fprintf(stderr, "error: query point (sample %" PRId64 ") is before the start of '%s'\n", sample,
                 path);
}
