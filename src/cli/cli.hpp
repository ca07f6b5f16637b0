// The program's entry: option scan and validation, the run itself, and every
// message on standard error and every exit status (0 or 1).
//
//   int main(int argc, char **argv) { return tonesift_main(argc, argv); }
#pragma once

#include <cstdint>
#include <cstdio>

// TONESIFT_VERSION comes from the build, where the version is set once.

// The parsed command line. Texts are borrowed from the argument vector.
struct Options {
    const char *input = nullptr;
    const char *at_text = nullptr; // converted only once the rate is known
    const char *at_sample_text = nullptr;
    int32_t window_samples = 4096;
    int32_t top = 5;
    double min_separation_hz = 0.0; // not above 0: four bins
    double noise_floor_db = -80.0;
    int32_t channel = -1; // negative: every channel
    bool json = false;
    bool csv = false;
    const char *html = nullptr;
};

enum class Scan { proceed, done_ok, failed };

// Fills `o` from the arguments. `--help` and a leading `--version` print
// their text and give done_ok; an unknown argument prints its message and
// the usage text and gives failed.
Scan scan_arguments(int argc, char **argv, Options *o);
// The checks that need no audio, in their fixed order; the first failure
// prints its message and gives false.
bool validate_options(const Options &o);

// Writes the usage text to `stream`.
void print_usage(FILE *stream);

// Integer option text: strtol rules, saturated to the 32-bit signed range.
int32_t parse_int_option(const char *text);
// Number option text: atof rules (no number gives 0.0).
double parse_number_option(const char *text);
// rate x seconds rounded to a sample index, NaN and the ends of the range
// alike on every platform.
int64_t round_to_index(double x);
// The messages after a load: it failed, the channel or the query point lies
// outside the file.
void report_load_failure(const char *path);
void report_channel_outside(int32_t channel, const char *path, uint32_t channels);
void report_point_outside(int64_t sample, const char *path, uint64_t frames);
// The checks of the window length and the top count, with their messages.
bool valid_window_and_top(int32_t window_samples, int32_t top);

// Runs tonesift-scan from the argument vector; returns the exit status.
int tonesift_scan_main(int argc, char **argv);

// Runs one query from the argument vector; returns the exit status.
int tonesift_main(int argc, char **argv);
