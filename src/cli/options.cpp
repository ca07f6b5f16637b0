#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "analysis/analysis.hpp"
#include "cli/cli.hpp"
#include "wav/wav.hpp"

int32_t parse_int_option(const char *text) {
    long v = std::strtol(text, nullptr, 10);
    // strtol saturates at the range of long; narrow by saturating again.
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Text that holds no number reads as +0.0 everywhere: some C runtimes give
// -0.0 for it, which would print as "-0.000s".
double parse_number_option(const char *text) {
    char *end = nullptr;
    const double v = std::strtod(text, &end);
    return end == text ? 0.0 : v;
}

// llround of NaN or of a value outside the 64-bit range is unspecified, and
// C libraries differ there; these ends make the same message everywhere.
int64_t round_to_index(double x) {
    if (std::isnan(x) || x < -9223372036854775808.0) return INT64_MIN;
    if (x >= 9223372036854775808.0) return INT64_MAX;
    return static_cast<int64_t>(std::llround(x));
}

static bool is(const char *arg, const char *name) { return std::strcmp(arg, name) == 0; }

// The command-line errors are followed by the usage text.
static void usage_error(const char *message) {
    std::fputs(message, stderr);
    print_usage(stderr);
}

// Stores the value of a value-taking option; false when `name` is not one.
static bool take_value(Options *o, const char *name, const char *value) {
    if (is(name, "--input")) o->input = value;
    else if (is(name, "--at")) o->at_text = value;
    else if (is(name, "--at-sample")) o->at_sample_text = value;
    else if (is(name, "--window-samples")) o->window_samples = parse_int_option(value);
    else if (is(name, "--top")) o->top = parse_int_option(value);
    else if (is(name, "--min-separation-hz")) o->min_separation_hz = parse_number_option(value);
    else if (is(name, "--noise-floor-db")) o->noise_floor_db = parse_number_option(value);
    else if (is(name, "--channel")) o->channel = parse_int_option(value);
    else if (is(name, "--html")) o->html = value;
    else return false;
    return true;
}

// With no arguments at all the scan finds nothing and validation reports the
// missing --input.
Scan scan_arguments(int argc, char **argv, Options *o) {
    if (argc > 1 && is(argv[1], "--version")) {
        std::printf("tonesift v%s\n", TONESIFT_VERSION);
        return Scan::done_ok;
    }
    for (int i = 1; i < argc;) {
        const char *arg = argv[i];
        // An option whose value is missing is not an option at all.
        if (i + 1 < argc && take_value(o, arg, argv[i + 1])) {
            i += 2;
        } else if (is(arg, "--json")) {
            o->json = true;
            ++i;
        } else if (is(arg, "--csv")) {
            o->csv = true;
            ++i;
        } else if (is(arg, "--help") || is(arg, "-h")) {
            print_usage(stdout);
            return Scan::done_ok;
        } else {
            std::fprintf(stderr, "error: unrecognized argument '%s'\n\n", arg);
            print_usage(stderr);
            return Scan::failed;
        }
    }
    return Scan::proceed;
}

static bool valid_window(int32_t n) {
    return n == 1024 || n == 2048 || n == 4096 || n == 8192 || n == 16384 || n == 32768;
}

void report_load_failure(const char *path) {
    std::fprintf(stderr, "error: failed to read '%s' (%s)\n", path, wav_error_text());
}

void report_channel_outside(int32_t channel, const char *path, uint32_t channels) {
    std::fprintf(stderr, "error: --channel %" PRId64 " is out of range ('%s' has %u channel%s)\n",
                 static_cast<int64_t>(channel), path, channels, channels == 1 ? "" : "s");
}

void report_point_outside(int64_t sample, const char *path, uint64_t frames) {
    std::fprintf(stderr,
                 "error: query point (sample %" PRId64 ") is at or past '%s''s own duration (%" PRIu64
                 " samples)\n",
                 sample, path, frames);
}

bool valid_window_and_top(int32_t window_samples, int32_t top) {
    if (!valid_window(window_samples)) {
        std::fprintf(stderr,
                     "error: --window-samples must be one of 1024, 2048, 4096, 8192, 16384, "
                     "32768 (got %" PRId64 ")\n",
                     static_cast<int64_t>(window_samples));
        return false;
    }
    if (top < 1 || top > static_cast<int32_t>(MAX_TOP_PEAKS)) {
        std::fprintf(stderr, "error: --top must be between 1 and %d (got %" PRId64 ")\n",
                     static_cast<int>(MAX_TOP_PEAKS), static_cast<int64_t>(top));
        return false;
    }
    return true;
}

bool validate_options(const Options &o) {
    if (!o.input) {
        usage_error("error: --input is required\n\n");
        return false;
    }
    if ((o.at_text != nullptr) == (o.at_sample_text != nullptr)) {
        usage_error("error: exactly one of --at or --at-sample is required\n\n");
        return false;
    }
    if (!valid_window_and_top(o.window_samples, o.top)) return false;
    if (o.json && o.csv) {
        std::fprintf(stderr, "error: --json and --csv are mutually exclusive\n");
        return false;
    }
    return true;
}
