#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/analysis.hpp"
#include "cli/cli.hpp"
#include "output/output.hpp"
#include "report/report.hpp"
#include "wav/wav.hpp"

// The program never calls setlocale, so it stays in the C locale: numbers are
// parsed and printed with a point whatever the environment says.

namespace {

struct Options {
    const char *input = nullptr;
    const char *at_text = nullptr;        // converted only once the rate is known
    const char *at_sample_text = nullptr;
    int32_t window_samples = 4096;
    int32_t top = 5;
    double min_separation_hz = 0.0;       // not above 0: four bins
    double noise_floor_db = -80.0;
    int32_t channel = -1;                 // negative: every channel
    bool json = false;
    bool csv = false;
    const char *html = nullptr;
};

enum class Scan { proceed, done_ok, failed };

} // namespace

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

static Scan scan_arguments(int argc, char **argv, Options *o) {
    if (argc < 2) {
        usage_error("error: --input is required\n\n");
        return Scan::failed;
    }
    if (is(argv[1], "--version")) {
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

// Checks that need no audio, in their fixed order.
static bool validate_options(const Options &o) {
    if (!o.input) {
        usage_error("error: --input is required\n\n");
        return false;
    }
    if ((o.at_text != nullptr) == (o.at_sample_text != nullptr)) {
        usage_error("error: exactly one of --at or --at-sample is required\n\n");
        return false;
    }
    if (!valid_window(o.window_samples)) {
        std::fprintf(stderr,
                     "error: --window-samples must be one of 1024, 2048, 4096, 8192, 16384, "
                     "32768 (got %ld)\n",
                     static_cast<long>(o.window_samples));
        return false;
    }
    if (o.top < 1 || o.top > static_cast<int32_t>(MAX_TOP_PEAKS)) {
        std::fprintf(stderr, "error: --top must be between 1 and %d (got %ld)\n",
                     static_cast<int>(MAX_TOP_PEAKS), static_cast<long>(o.top));
        return false;
    }
    if (o.json && o.csv) {
        std::fprintf(stderr, "error: --json and --csv are mutually exclusive\n");
        return false;
    }
    return true;
}

// Resolves the query point to a sample index and time; the index is not yet
// checked against the file.
static int64_t resolve_query(const Options &o, uint32_t sample_rate, double *seconds) {
    double rate = static_cast<double>(sample_rate);
    if (o.at_text) {
        *seconds = parse_number_option(o.at_text);
        return static_cast<int64_t>(std::llround(rate * *seconds));
    }
    int64_t index = parse_int_option(o.at_sample_text);
    *seconds = static_cast<double>(index) / rate;
    return index;
}

static void report_load_failure(const char *path) {
    std::fprintf(stderr, "error: failed to read '%s' (%s)\n", path, wav_error_text());
}

// Releases the audio after a later step failed. Frames are read on demand,
// so a file that shrank since it was loaded is a read failure whichever step
// met it; otherwise the step's own message: the report could not be written
// (`html` given) or memory ran out.
static int fail_after_load(WavData *wav, const char *input, const char *html) {
    const bool unreadable = wav->read_failed;
    wav_free(wav);
    if (unreadable) report_load_failure(input);
    else if (html) std::fprintf(stderr, "error: failed to write '%s'\n", html);
    else std::fputs("error: out of memory\n", stderr);
    return 1;
}

// Fills the report's channel results; false when memory ran out.
static bool analyze_channels(const Options &o, const WavData &wav, QueryReport *report) {
    uint32_t first = 0;
    uint32_t last = wav.channels; // one past
    if (o.channel >= 0) {
        first = static_cast<uint32_t>(o.channel);
        last = first + 1;
    }
    for (uint32_t ch = first; ch < last && report->result_count < MAX_CHANNEL_RESULTS; ++ch) {
        ChannelResult &slot = report->results[report->result_count];
        slot.channel = ch;
        int64_t n = analyze_channel(wav, ch, report->window, static_cast<uint64_t>(o.top),
                                    slot.top_peaks, MAX_TOP_PEAKS);
        if (n < 0) return false;
        slot.peak_count = static_cast<uint64_t>(n);
        ++report->result_count;
    }
    return true;
}

int tonesift_main(int argc, char **argv) {
    Options o;
    switch (scan_arguments(argc, argv, &o)) {
    case Scan::done_ok: return 0;
    case Scan::failed: return 1;
    case Scan::proceed: break;
    }
    if (!validate_options(o)) return 1;

    WavData wav;
    if (!wav_load(o.input, &wav)) {
        report_load_failure(o.input);
        return 1;
    }
    if (o.channel >= 0 && static_cast<uint32_t>(o.channel) >= wav.channels) {
        uint32_t count = wav.channels;
        wav_free(&wav);
        std::fprintf(stderr, "error: --channel %ld is out of range ('%s' has %u channel%s)\n",
                     static_cast<long>(o.channel), o.input, count, count == 1 ? "" : "s");
        return 1;
    }
    double seconds = 0.0;
    int64_t index = resolve_query(o, wav.sample_rate, &seconds);
    if (index < 0 || static_cast<uint64_t>(index) >= wav.frames) {
        uint64_t frames = wav.frames;
        wav_free(&wav);
        std::fprintf(stderr,
                     "error: query point (sample %ld) is at or past '%s''s own duration (%zu "
                     "samples)\n",
                     static_cast<long>(index), o.input, static_cast<size_t>(frames));
        return 1;
    }

    QueryReport report;
    std::memset(&report, 0, sizeof report);
    report.input_file = o.input;
    report.sample_rate = wav.sample_rate;
    report.channels = wav.channels;
    report.query_time_s = seconds;
    report.window = make_query_window(wav.sample_rate, static_cast<uint32_t>(index),
                                      static_cast<uint64_t>(o.window_samples),
                                      o.min_separation_hz, o.noise_floor_db);

    if (!analyze_channels(o, wav, &report)) return fail_after_load(&wav, o.input, nullptr);
    if (o.html) {
        ReportSource source{o.input, &wav, &report, TONESIFT_VERSION};
        if (!write_html_report(o.html, source)) return fail_after_load(&wav, o.input, o.html);
    }
    wav_free(&wav);

    if (o.json) print_json_report(report);
    else if (o.csv) print_csv_report(report);
    else print_text_report(report);

    if (o.html) {
        std::fflush(stdout);
        std::fprintf(stderr, "wrote %s\n", o.html);
    }
    return 0;
}
