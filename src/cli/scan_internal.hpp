// tonesift-scan's own pieces: its options, its points, its messages.
#pragma once

#include <cstdint>
#include <cstdio>

#include "report/report.hpp"

struct ScanOptions {
    const char *input = nullptr;
    const char *every = nullptr;
    const char *from = nullptr;
    const char *to = nullptr;
    const char *at = nullptr;
    int32_t window_samples = 4096;
    int32_t top = 5;
    int32_t channel = -1;
    double min_separation_hz = 0.0;
    double noise_floor_db = -80.0;
    bool json = false;
    bool csv = false;
    bool whole_windows = false;
    const char *html = nullptr;
};

// What the command line asks: a scan, or a run that ends here.
enum class Asked { scan, answered, refused };
Asked scan_options(int argc, char **argv, ScanOptions *o);

// A point's time and sample, and whether its window reaches past an end of
// the recording (it reads silence there).
struct ScanPoint {
    double seconds;
    int64_t sample;
    bool padded;
    uint64_t ordinal; // among the points answered
};

inline bool outside(int64_t sample, uint64_t frames) {
    return sample < 0 || static_cast<uint64_t>(sample) >= frames;
}

inline bool window_padded(int64_t sample, uint64_t n, uint64_t frames) {
    const auto half = static_cast<int64_t>(n / 2);
    return sample < half || static_cast<uint64_t>(sample + half) > frames;
}

// The points in turn: a list of times, or a time every so often. `frames`
// is UINT64_MAX while a stream's end is not known.
struct Points {
    const ScanOptions *o;
    uint32_t rate;
    uint64_t frames;
    const char *next; // the rest of the list
    uint64_t k;
    double seconds;
    int64_t sample;
    bool over;      // the last one was reached
    uint64_t given; // points so far
};
Points points_of(const ScanOptions &o, uint32_t rate, uint64_t frames);
// The next point, or false after the last one. A listed point outside the
// recording is still a point: the caller refuses it. With whole windows,
// the points whose windows are not are passed over, as far as the frames
// are known.
bool next_point(Points *p);

// A load's failure with its cause in full.
void report_unreadable(const char *path);
// A point outside the recording, before its start or at or past its end.
void report_outside(int64_t sample, const char *path, uint64_t frames);

// The page of a run with --html: written beside its place and put there
// whole once the run has answered every point; gone after a failure.
struct ScanHtml {
    const char *path = nullptr;
    HeapArray<char> temp; // its name while it is written
    std::FILE *file = nullptr;
    uint32_t first_channel = 0; // of those answered
    ScanPicture picture;
    ScanHtml() = default;
    ScanHtml(const ScanHtml &) = delete;
    ScanHtml &operator=(const ScanHtml &) = delete;
    ~ScanHtml();
};
// Before the first row: the memory of the picture of the channels that
// `reads` names, and the file to write. False after a message.
bool scan_html_begin(ScanHtml *html, const ScanOptions &o, uint32_t rate, const WavSpan &reads,
                     uint64_t points);
// After the last: `points` answered, the last at `last_seconds`. False
// after a message.
bool scan_html_end(ScanHtml *html, const ScanOptions &o, const WavData &wav, uint64_t points,
                   double last_seconds);
