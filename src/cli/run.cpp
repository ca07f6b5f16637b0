#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "analysis/analysis.hpp"
#include "base/heap.hpp"
#include "cli/cli.hpp"
#include "output/output.hpp"
#include "report/report.hpp"
#include "wav/wav.hpp"

// The program never calls setlocale, so it stays in the C locale: numbers are
// parsed and printed with a point whatever the environment says.

// The steps after a successful load that can fail on their own account.
enum class Step { analysis, report };

// Resolves the query point to a sample index and time; the index is not yet
// checked against the file.
static int64_t resolve_query(const Options &o, uint32_t sample_rate, double *seconds) {
    double rate = static_cast<double>(sample_rate);
    if (o.at_text) {
        *seconds = parse_number_option(o.at_text);
        return round_to_index(rate * *seconds);
    }
    int64_t index = parse_int_option(o.at_sample_text);
    *seconds = static_cast<double>(index) / rate;
    return index;
}

// Releases the audio after `failed` went wrong. Frames are read on demand,
// so a file that shrank since it was loaded is a read failure whichever step
// met it; otherwise the step's own message.
static int fail_after_load(WavData *wav, const Options &o, Step failed) {
    const bool unreadable = wav->read_failed;
    wav_free(wav);
    if (unreadable) report_load_failure(o.input);
    else if (failed == Step::report) std::fprintf(stderr, "error: failed to write '%s'\n", o.html);
    else std::fputs("error: out of memory\n", stderr);
    return 1;
}

// Loads the input. A pipe keeps of each data chunk what the query reads,
// by the format in force when the chunk begins.
static bool load_input(const Options &o, WavData *wav) {
    WavLoad load;
    WavStep step = wav_load_begin(&load, o.input);
    while (step == WavStep::data) {
        const WavFormat &format = load.walk.format;
        double seconds = 0.0;
        const int64_t index = resolve_query(o, format.sample_rate, &seconds);
        step = wav_load_keep(
            &load, query_reads(index, static_cast<uint64_t>(o.window_samples), o.channel, format.channels));
    }
    return step == WavStep::done && wav_load_end(&load, wav);
}

// Fills the report's channel results from the channels that `reads` names.
// With `spectra`, result i's levels and magnitudes stay there, where the
// report's charts find them; without, they pass through the working memory.
static bool analyze_channels(const Options &o, const WavData &wav, const WavSpan &reads, SpectrumWork *work,
                             Spectrum *spectra, QueryReport *report) {
    for (uint32_t k = 0; k < reads.channels; ++k) {
        const uint64_t i = report->result_count;
        ChannelResult &slot = report->results[i];
        slot.channel = reads.channel + k;
        double *levels = spectra ? work->kept_levels(i) : nullptr;
        double *magnitudes = spectra ? work->kept_magnitudes(i) : nullptr;
        int64_t found = analyze_channel(work, wav, slot.channel, report->window, static_cast<uint64_t>(o.top),
                                        slot.top_peaks, MAX_TOP_PEAKS, levels, magnitudes);
        if (found < 0) return false;
        if (spectra) spectra[i] = {levels, magnitudes};
        slot.peak_count = static_cast<uint64_t>(found);
        ++report->result_count;
    }
    return true;
}

// A script must be able to trust any output it gets, so output that did not
// all arrive is an error, whatever the exit status would have been.
static bool stdout_written() { return std::fflush(stdout) == 0 && !std::ferror(stdout); }
static int exit_status(bool written) {
    if (written) return 0;
    std::fputs("error: failed to write standard output\n", stderr);
    return 1;
}

int tonesift_main(int argc, char **argv) {
    Options o;
    switch (scan_arguments(argc, argv, &o)) {
    case Scan::done_ok: return exit_status(stdout_written());
    case Scan::failed: return 1;
    case Scan::proceed: break;
    }
    if (!validate_options(o)) return 1;

    WavData wav{};
    if (!load_input(o, &wav)) {
        report_load_failure(o.input);
        return 1;
    }
    if (o.channel >= 0 && static_cast<uint32_t>(o.channel) >= wav.channels) {
        const uint32_t count = wav.channels;
        wav_free(&wav);
        report_channel_outside(o.channel, o.input, count);
        return 1;
    }
    double seconds = 0.0;
    int64_t index = resolve_query(o, wav.sample_rate, &seconds);
    if (index < 0 || static_cast<uint64_t>(index) >= wav.frames) {
        const uint64_t frames = wav.frames;
        wav_free(&wav);
        report_point_outside(index, o.input, frames);
        return 1;
    }

    QueryReport report;
    std::memset(&report, 0, sizeof report);
    report.input_file = o.input;
    report.sample_rate = wav.sample_rate;
    report.channels = wav.channels;
    report.query_time_s = seconds;
    report.window = make_query_window(wav.sample_rate, static_cast<uint32_t>(index),
                                      static_cast<uint64_t>(o.window_samples), o.min_separation_hz,
                                      o.noise_floor_db);

    // Working memory for every spectrum of the run, made once.
    const uint64_t n = report.window.window_samples;
    const WavSpan reads = query_reads(index, n, o.channel, wav.channels);
    // Only the report reads the spectra again: then each result keeps its own.
    SpectrumWork work;
    ReportSource source{o.input, &wav, &report, TONESIFT_VERSION, &work, {}};
    if (!spectrum_work_init(&work, n, o.html ? reads.channels : 0) ||
        !analyze_channels(o, wav, reads, &work, o.html ? source.spectra : nullptr, &report))
        return fail_after_load(&wav, o, Step::analysis);
    if (o.html && !write_html_report(o.html, source)) return fail_after_load(&wav, o, Step::report);
    wav_free(&wav);

    if (o.json) print_json_report(report);
    else if (o.csv) print_csv_report(report);
    else print_text_report(report);

    const bool written = stdout_written();
    if (o.html) std::fprintf(stderr, "wrote %s\n", o.html);
    return exit_status(written);
}
