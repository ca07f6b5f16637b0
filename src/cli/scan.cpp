#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/analysis.hpp"
#include "base/fixed_text.hpp"
#include "base/platform.hpp"
#include "cli/cli.hpp"
#include "cli/scan_internal.hpp"
#include "output/output.hpp"
#include "wav/wav.hpp"

// tonesift-scan: one recording at many points, each answered exactly as
// tonesift answers it with the same options, one CSV row per peak.

namespace {

// A refusal of the options still comes after one of the samples: true when
// they are finite, else false after the load's message.
bool samples_finite(const ScanOptions &o, const WavData &wav) {
    if (wav_finite(wav, nullptr, WAV_FINITE_BLOCK)) return true;
    report_unreadable(o.input);
    return false;
}

void report_no_whole_window(const ScanOptions &o, uint64_t frames) {
    std::fprintf(
        stderr, "error: no point of --every has a whole window of %d samples in '%s' (%" PRIu64 " samples)\n",
        o.window_samples, o.input, frames);
}

// Every listed point inside the recording and in order, and a first point
// of --every, before any row.
bool points_valid(const ScanOptions &o, const WavData &wav) {
    Points p = points_of(o, wav.sample_rate, wav.frames);
    double last = -INFINITY;
    bool more = false;
    while ((more = next_point(&p)) && o.at && p.seconds >= last && !outside(p.sample, wav.frames))
        last = p.seconds;
    if (more ? !o.at : o.at || p.given > 0) return true;
    if (!samples_finite(o, wav)) return false;
    if (more && p.seconds < last)
        std::fprintf(stderr, "error: --at must not decrease (%.6f after %.6f)\n", p.seconds, last);
    else if (outside(p.sample, wav.frames) && p.k <= 1) report_outside(p.sample, o.input, wav.frames);
    else report_no_whole_window(o, wav.frames);
    return false;
}

// Channels past those a point answers are named once, before the rows.
void note_left_out(const ScanOptions &o, uint32_t channels) {
    if (o.channel >= 0 || channels <= MAX_CHANNEL_RESULTS) return;
    char which[48];
    std::snprintf(which, sizeof which,
                  channels == MAX_CHANNEL_RESULTS + 1 ? "channel %u is" : "channels %u to %u are",
                  static_cast<unsigned>(MAX_CHANNEL_RESULTS), channels - 1);
    std::fprintf(stderr, "note: '%s' has %u channels; %s left out (--channel N answers one of them)\n",
                 o.input, channels, which);
}

// The form's first line: none for JSON Lines.
const char *header(const ScanOptions &o) {
    return o.json  ? ""
           : o.csv ? "time_s,sample,channel,rank,frequency_hz,level_db\n"
                   : "  time (s)  channel  peaks, strongest first: frequency (Hz) level (dB)\n";
}

// One channel's answer at a point in the chosen form; JSON Lines' object
// is opened and closed by the caller.
void print_result(const ScanOptions &o, const ScanPoint &p, const ChannelResult &r, bool first) {
    if (o.csv) {
        char prefix[CSV_PREFIX_SIZE];
        std::snprintf(prefix, sizeof prefix, "%.6f,%" PRId64 ",", p.seconds, p.sample);
        return print_csv_rows(prefix, r);
    }
    if (o.json) std::printf("%s{\"channel\":%u,\"top_peaks\":[", first ? "" : ",", r.channel);
    else std::printf("%10.3f%c %7u ", p.seconds, p.padded ? '*' : ' ', r.channel);
    for (uint64_t k = 0; k < r.peak_count; ++k) {
        // "%s{"rank":%zu,"frequency_hz":%.4f,"level_db":%.4f}" or " %10.1f %6.1f"
        const Peak &peak = r.top_peaks[k];
        char text[64 + 2 * PLATFORM_FIXED_TEXT];
        char *at = text;
        if (o.json) {
            static constexpr char RANK[] = ",{\"rank\":", FREQUENCY[] = ",\"frequency_hz\":",
                                  LEVEL[] = ",\"level_db\":";
            const size_t skip = k ? 0 : 1;
            std::memcpy(at, RANK + skip, sizeof RANK - 1 - skip);
            at = decimal_text(at + sizeof RANK - 1 - skip, k + 1);
            std::memcpy(at, FREQUENCY, sizeof FREQUENCY - 1);
            at = fixed_text(at + sizeof FREQUENCY - 1, peak.frequency_hz, 4, 0);
            std::memcpy(at, LEVEL, sizeof LEVEL - 1);
            at = fixed_text(at + sizeof LEVEL - 1, peak.level_db, 4, 0);
            *at++ = '}';
        } else {
            *at++ = ' ';
            at = fixed_text(at, peak.frequency_hz, 1, 10);
            *at++ = ' ';
            at = fixed_text(at, peak.level_db, 1, 6);
        }
        std::fwrite(text, 1, static_cast<size_t>(at - text), stdout);
    }
    std::fputs(o.json ? "]}" : r.peak_count ? "\n" : "  -\n", stdout);
}

void print_point(const ScanOptions &o, const ScanPoint &p, const ChannelResult *results, uint32_t channels) {
    if (o.json)
        std::printf("{\"time_s\":%.6f,\"query_sample\":%" PRId64 ",\"window_padded\":%s,\"results\":[",
                    p.seconds, p.sample, p.padded ? "true" : "false");
    for (uint32_t k = 0; k < channels; ++k) print_result(o, p, results[k], k == 0);
    if (o.json) std::fputs("]}\n", stdout);
}

// One point's answer: `channels` results from the first channel it reads.
// False when the file could not give its frames (`wav.read_failed` then)
// or memory ran out.
bool answer_point(const ScanOptions &o, const WavData &wav, SpectrumWork *work, const ScanPoint &p,
                  ChannelResult *results, uint32_t channels, ScanPicture *picture) {
    const auto n = static_cast<uint64_t>(o.window_samples);
    const QueryWindow window = make_query_window(wav.sample_rate, static_cast<uint32_t>(p.sample), n,
                                                 o.min_separation_hz, o.noise_floor_db);
    const WavSpan reads = query_reads(p.sample, n, o.channel, wav.channels);
    for (uint32_t k = 0; k < channels; ++k) {
        ChannelResult &r = results[k];
        r.channel = reads.channel + k;
        // A column of the page's picture needs every level; elsewhere only
        // those that decide the peaks are made.
        const bool shown = picture && scan_picture_shows(*picture, p.ordinal);
        double *levels = shown ? work->levels() : nullptr;
        const int64_t found = analyze_channel(work, wav, r.channel, window, static_cast<uint64_t>(o.top),
                                              r.top_peaks, MAX_TOP_PEAKS, levels,
                                              shown ? work->magnitudes() : nullptr);
        if (found < 0) return false;
        r.peak_count = static_cast<uint64_t>(found);
        if (picture) scan_picture_take(picture, p.ordinal, p.seconds, k, levels, r);
    }
    return true;
}

// Points answered before they are written. Each thread that answers takes
// the next point not yet taken, so none waits while another has work; each
// answer has its own place, so the rows keep their order.
struct Batch {
    const ScanOptions *o;
    const ScanPoint *points;
    // Each point's answers as short as --top makes them: for each channel
    // its count, then room for `top` peaks. A full ChannelResult per point
    // would spread its few bytes over many pages, each first written by a
    // fault.
    unsigned char *answers;
    uint64_t top;
    uint32_t first_channel, channels;
    uint64_t count;
    ScanPicture *picture; // the page's, with --html
    std::atomic<uint64_t> next{0};
    std::atomic<bool> stop{false};               // a point failed, or the samples did
    std::atomic<uint64_t> failed_at{UINT64_MAX}; // the first point that failed
    std::atomic<bool> read_failed{false};        // and why: the file, else memory
};

// One thread's part: its own analysis memory, and a copy of the record
// whose read_failed is its own.
struct Answerer {
    Batch *batch;
    WavData wav;
    SpectrumWork *work;
};

uint64_t answer_bytes(uint64_t top, uint32_t channels) {
    return channels * (sizeof(uint64_t) + top * sizeof(Peak));
}

// Where channel k of point i keeps its count, its peaks following.
unsigned char *answer_slot(const Batch &b, uint64_t i, uint32_t k) {
    return b.answers + (i * b.channels + k) * answer_bytes(b.top, 1);
}

void keep_answer(Batch &b, uint64_t i, const ChannelResult *results) {
    for (uint32_t k = 0; k < b.channels; ++k) {
        unsigned char *at = answer_slot(b, i, k);
        std::memcpy(at, &results[k].peak_count, sizeof(uint64_t));
        std::memcpy(at + sizeof(uint64_t), results[k].top_peaks,
                    static_cast<size_t>(results[k].peak_count) * sizeof(Peak));
    }
}

void kept_answer(const Batch &b, uint64_t i, ChannelResult *results) {
    for (uint32_t k = 0; k < b.channels; ++k) {
        const unsigned char *at = answer_slot(b, i, k);
        results[k].channel = b.first_channel + k;
        std::memcpy(&results[k].peak_count, at, sizeof(uint64_t));
        std::memcpy(results[k].top_peaks, at + sizeof(uint64_t),
                    static_cast<size_t>(results[k].peak_count) * sizeof(Peak));
    }
}

void answer_points(void *answerer) {
    auto *a = static_cast<Answerer *>(answerer);
    Batch &b = *a->batch;
    while (!b.stop.load(std::memory_order_relaxed)) {
        const uint64_t i = b.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= b.count) return;
        ChannelResult answer[MAX_CHANNEL_RESULTS];
        if (answer_point(*b.o, a->wav, a->work, b.points[i], answer, b.channels, b.picture)) {
            keep_answer(b, i, answer);
            continue;
        }
        // Every point before this one was taken first, and is answered.
        uint64_t first = b.failed_at.load();
        while (i < first && !b.failed_at.compare_exchange_weak(first, i)) {
        }
        if (a->wav.read_failed) b.read_failed.store(true);
        b.stop.store(true);
        return;
    }
}

// Writes what a batch answered; false when it stopped short.
bool print_batch(const Batch &b) {
    const uint64_t answered = b.failed_at.load() < b.count ? b.failed_at.load() : b.count;
    for (uint64_t i = 0; i < answered; ++i) {
        ChannelResult answer[MAX_CHANNEL_RESULTS];
        kept_answer(b, i, answer);
        print_point(*b.o, b.points[i], answer, b.channels);
    }
    return answered == b.count;
}

// Why an answer stopped short: the file could not give its frames (it
// shrank since it was walked), or memory ran out. False, for the caller.
bool report_short(const ScanOptions &o, bool read_failed) {
    if (read_failed)
        std::fprintf(stderr,
                     "error: failed to read '%s' (its frames could not all be read: did it change?)\n",
                     o.input);
    else std::fputs("error: out of memory\n", stderr);
    return false;
}

// A float file's samples checked in parts by both threads, each taking the
// next part not yet taken; a part that does not pass stops them, and only
// parts before it are checked on. One thread checks first, then answers
// points of the first batch; the other answers first, then checks: reading
// the file sets the pace of the check, so two threads would check little
// faster than one, while the answers' arithmetic goes on beside it. No
// answer is written before every part has passed.
struct SharedCheck {
    const WavData *wav;
    uint64_t parts;
    std::atomic<uint64_t> next{0};
    std::atomic<uint64_t> failed_part{UINT64_MAX};
};

struct CheckWorker {
    SharedCheck *check;
    unsigned char *block;
    Answerer *then;                  // null: the check alone
    bool answers_first;              // the points, then the parts left
    uint64_t failed_at = UINT64_MAX; // the first part it found failing
    WavPartCheck found{};
};

void check_parts(CheckWorker *w) {
    SharedCheck &c = *w->check;
    for (uint64_t i; (i = c.next.fetch_add(1)) < c.parts && i < c.failed_part.load();) {
        const WavPartCheck found = wav_finite_part(*c.wav, i, w->block, WAV_FINITE_BLOCK);
        if (found.found == WavPartCheck::passed) continue;
        // Its parts come in order: this is its first.
        w->failed_at = i;
        w->found = found;
        uint64_t first = c.failed_part.load();
        while (i < first && !c.failed_part.compare_exchange_weak(first, i)) {
        }
        break;
    }
    if (c.failed_part.load() != UINT64_MAX && w->then) w->then->batch->stop.store(true);
}

void check_then_answer(void *worker) {
    auto *w = static_cast<CheckWorker *>(worker);
    if (w->then && w->answers_first) answer_points(w->then);
    check_parts(w);
    if (w->then && w->check->failed_part.load() == UINT64_MAX) answer_points(w->then);
}

constexpr uint64_t BATCH_BYTES = 2u << 20;

// A seekable file: every check before the first row. A float file's samples
// are checked beside the first points' answers, which wait until they pass.
// Points are answered on two threads where there are two, and written in
// order, a batch at a time. False after a message.
bool scan_file(const ScanOptions &o, const WavData &wav, ScanHtml *html) {
    const auto n = static_cast<uint64_t>(o.window_samples);
    // The channels a point's answer has, the same at every point.
    const WavSpan reads = query_reads(0, n, o.channel, wav.channels);
    const auto top = static_cast<uint64_t>(o.top) < MAX_TOP_PEAKS ? static_cast<uint64_t>(o.top)
                                                                  : MAX_TOP_PEAKS;
    const uint64_t capacity = BATCH_BYTES / answer_bytes(top, reads.channels) + 1;
    // The check's block first, as a load's memory comes before an analysis's
    // (without one, each part makes its own). Without memory for a helper,
    // one thread answers.
    HeapArray<unsigned char> block, helper_block;
    SharedCheck check{&wav, wav_finite_parts(wav)};
    if (check.parts) block.allocate(WAV_FINITE_BLOCK);
    SpectrumWork work, helper_work;
    HeapArray<ScanPoint> points;
    HeapArray<unsigned char> answers;
    if (!spectrum_work_init(&work, n) || !points.allocate(capacity) ||
        !answers.allocate(capacity * answer_bytes(top, reads.channels)))
        return std::fputs("error: out of memory\n", stderr), false;
    const bool helper = spectrum_work_init(&helper_work, n);
    if (check.parts) helper_block.allocate(WAV_FINITE_BLOCK);
    Points p = points_of(o, wav.sample_rate, wav.frames);
    if (html) {
        Points all = p;
        while (next_point(&all)) {
        }
        if (!scan_html_begin(html, o, wav.sample_rate, reads, all.given)) return false;
    }
    ScanPicture *picture = html ? &html->picture : nullptr;
    double last_seconds = 0.0;
    for (bool first = true;; first = false) {
        Batch b{&o, points.data, answers.data, top, reads.channel, reads.channels, 0, picture};
        for (; b.count < capacity && next_point(&p); ++b.count) {
            points[b.count] = ScanPoint{p.seconds, p.sample, window_padded(p.sample, n, wav.frames),
                                        p.given - 1};
            last_seconds = p.seconds;
        }
        if (b.count == 0 && !first) return !html || scan_html_end(html, o, wav, p.given, last_seconds);
        Answerer mine{&b, wav, &work}, theirs{&b, wav, &helper_work};
        CheckWorker checks[2] = {{&check, block.data, &mine, false},
                                 {&check, helper_block.data, helper ? &theirs : nullptr, true}};
        PlatformThread thread;
        // The helper checks beside the first batch even where it can't answer.
        const bool started = (first || (helper && b.count > 1)) &&
                             platform_thread_start(&thread, check_then_answer, &checks[1]);
        check_then_answer(&checks[0]);
        if (started) platform_thread_join(&thread);
        if (check.failed_part.load() != UINT64_MAX) {
            wav_finite_fail(wav, checks[checks[0].failed_at == check.failed_part.load() ? 0 : 1].found);
            return report_unreadable(o.input), false;
        }
        if (first) {
            note_left_out(o, wav.channels);
            std::fputs(header(o), stdout);
        }
        if (!print_batch(b)) return report_short(o, b.read_failed.load());
    }
}

// Points of a stream whose windows have passed, each with a copy of its
// window, answered and written on a second thread while the first reads on.
struct PipeJobs {
    const ScanOptions *o;
    WavData view; // the stream's, its window replaced point by point
    SpectrumWork *work;
    uint32_t channels; // answered at each point
    uint64_t doubles;  // of one window
    uint64_t capacity; // points
    HeapArray<ScanPoint> points;
    HeapArray<WavSpan> spans;    // what each copy holds
    HeapArray<uint64_t> arrived; // frames the stream had passed
    HeapArray<double> windows;
    uint64_t count;
    bool flush;
    bool ok;
    std::atomic<bool> over;
    ScanPicture *picture;
};

void answer_jobs(void *jobs) {
    auto *j = static_cast<PipeJobs *>(jobs);
    for (uint64_t i = 0; j->ok && i < j->count; ++i) {
        WavData view = j->view;
        view.frames = j->arrived[i];
        view.kept = j->windows.data + i * j->doubles;
        view.kept_span = j->spans[i];
        ChannelResult answer[MAX_CHANNEL_RESULTS];
        j->ok = answer_point(*j->o, view, j->work, j->points[i], answer, j->channels, j->picture);
        if (j->ok) print_point(*j->o, j->points[i], answer, j->channels);
        if (j->flush) std::fflush(stdout);
    }
    j->over.store(true, std::memory_order_release);
}

// Two sets of points: one filled by the reader, one answered beside it.
struct PipeQueue {
    PipeJobs sets[2];
    int filling = 0;
    bool running = false;
    PlatformThread thread;
};

bool pipe_queue_init(PipeQueue *q, const ScanOptions &o, const WavData &view, SpectrumWork *work,
                     uint32_t channels, bool flush, ScanPicture *picture) {
    const uint64_t doubles = static_cast<uint64_t>(o.window_samples) * channels;
    const uint64_t capacity = (1u << 20) / (doubles * sizeof(double)) + 1;
    for (PipeJobs &j : q->sets) {
        j.o = &o;
        j.view = view;
        j.work = work;
        j.channels = channels;
        j.doubles = doubles;
        j.capacity = capacity;
        j.count = 0;
        j.flush = flush;
        j.ok = true;
        j.picture = picture;
        if (!j.points.allocate(capacity) || !j.spans.allocate(capacity) || !j.arrived.allocate(capacity) ||
            !j.windows.allocate(capacity * doubles))
            return false;
    }
    return true;
}

// Waits for the set being answered, if `wait` or if it is over already;
// false once a set has failed (known only after the wait).
bool pipe_queue_settle(PipeQueue *q, bool wait) {
    PipeJobs &answered = q->sets[1 - q->filling];
    if (q->running && (wait || answered.over.load(std::memory_order_acquire))) {
        platform_thread_join(&q->thread);
        q->running = false;
    }
    return q->running || answered.ok;
}

// Starts answering the filled set unless one is being answered; without a
// second thread, answers it here.
void pipe_queue_hand_over(PipeQueue *q) {
    PipeJobs &filled = q->sets[q->filling];
    if (q->running || filled.count == 0 || !filled.ok || !q->sets[1 - q->filling].ok) return;
    q->filling = 1 - q->filling;
    q->sets[q->filling].count = 0;
    filled.over.store(false, std::memory_order_relaxed);
    q->running = platform_thread_start(&q->thread, answer_jobs, &filled);
    if (!q->running) answer_jobs(&filled);
}

// Queues the point that the keeper's window answers; false once a set failed.
bool pipe_queue_add(PipeQueue *q, const WavKeeper &keeper, const ScanPoint &point, uint64_t arrived) {
    if (!pipe_queue_settle(q, false)) return false;
    if (q->sets[q->filling].count == q->sets[q->filling].capacity) {
        if (!pipe_queue_settle(q, true)) return false;
        pipe_queue_hand_over(q);
    }
    PipeJobs &j = q->sets[q->filling];
    const uint64_t i = j.count++;
    j.points[i] = point;
    j.spans[i] = keeper.span;
    j.arrived[i] = arrived;
    std::memcpy(j.windows.data + i * j.doubles, keeper.data.data,
                static_cast<size_t>(j.doubles) * sizeof(double));
    pipe_queue_hand_over(q);
    return true;
}

// Answers what is queued; false when a set failed.
bool pipe_queue_drain(PipeQueue *q) {
    const bool ok = pipe_queue_settle(q, true);
    pipe_queue_hand_over(q);
    return pipe_queue_settle(q, true) && ok;
}

// A pipe: each point is answered once the stream has passed its window,
// keeping one window of the channels analysed; what is found later (a NaN,
// a listed point outside, a format or a data chunk the load refuses) is said
// after the rows already written. False after a message.
bool scan_pipe(const ScanOptions &o, WavLoad *load, WavStep step, ScanHtml *html) {
    const WavFormat &f = load->walk.format;
    const auto n = static_cast<uint64_t>(o.window_samples);
    SpectrumWork work;
    PipeQueue queue;
    bool ok = true;
    uint64_t answered = 0;
    double last_seconds = 0.0;
    if (step == WavStep::data && wav_frame_size(f) != 0) {
        if (o.channel >= 0 && static_cast<uint32_t>(o.channel) >= f.channels)
            return report_channel_outside(o.channel, o.input, f.channels), false;
        const WavSpan reads = query_reads(0, n, o.channel, f.channels);
        if (html && !scan_html_begin(html, o, f.sample_rate, reads, 0)) return false;
        if (!spectrum_work_init(&work, n) ||
            !wav_pipe_begin(load, WavSpan{0, n, reads.channel, reads.channels}) ||
            !pipe_queue_init(&queue, o, wav_pipe_view(*load, 0), &work, reads.channels,
                             !platform_can_seek(stdout), html ? &html->picture : nullptr))
            return std::fputs("error: out of memory\n", stderr), false;
        note_left_out(o, f.channels);
        std::fputs(header(o), stdout);
        Points p = points_of(o, f.sample_rate, UINT64_MAX);
        uint64_t outside_of = UINT64_MAX; // frames, when a point that must be inside is not
        bool none_whole = false;          // --every's first window is not whole
        double before = -INFINITY;        // the earlier time, when the list decreases
        bool more = false;
        for (double last = -INFINITY; ok && (more = next_point(&p)); last = p.seconds) {
            const int64_t first = p.sample - static_cast<int64_t>(n / 2) > 0
                                      ? p.sample - static_cast<int64_t>(n / 2)
                                      : 0;
            wav_pipe_move(load, first);
            const uint64_t arrived = wav_pipe_pass_to(
                load, p.sample < 0 ? UINT64_MAX : static_cast<uint64_t>(p.sample) + n / 2);
            if (load->keeper.non_finite != UINT64_MAX) break; // the load's checks say where
            const bool first_point = !o.at && p.given == 1;
            if (outside(p.sample, arrived)) {
                if (o.at || first_point) outside_of = wav_pipe_pass_to(load, UINT64_MAX);
                break;
            }
            if (p.seconds < last) {
                before = last;
                break;
            }
            const ScanPoint point{p.seconds, p.sample, window_padded(p.sample, n, arrived), answered};
            if (o.whole_windows && point.padded) {
                if (o.at) continue;
                none_whole = first_point;
                break;
            }
            ok = pipe_queue_add(&queue, load->keeper, point, arrived);
            ++answered;
            last_seconds = p.seconds;
        }
        // --every's first point before the start ends the points at once.
        if (!more && !o.at && p.given == 0) {
            if (p.sample < 0) outside_of = 0;
            else none_whole = true;
        }
        // The rows of the points before come first, then what ended them.
        const bool drained = pipe_queue_drain(&queue);
        std::fflush(stdout);
        if (!drained || !ok) {
            std::fputs("error: out of memory\n", stderr);
            return false;
        }
        if (outside_of != UINT64_MAX) return report_outside(p.sample, o.input, outside_of), false;
        if (none_whole) return report_no_whole_window(o, wav_pipe_pass_to(load, UINT64_MAX)), false;
        if (before > -INFINITY) {
            std::fprintf(stderr, "error: --at must not decrease (%.6f after %.6f)\n", p.seconds, before);
            return false;
        }
        step = wav_pipe_walk_on(load);
        if (step == WavStep::data) {
            std::fprintf(stderr, "error: '%s' has a data chunk after the rows written\n", o.input);
            return false;
        }
    }
    WavData wav{};
    if (step == WavStep::failed || !wav_load_end(load, &wav)) {
        report_unreadable(o.input);
        ok = false;
    } else if (html && html->file) {
        ok = scan_html_end(html, o, wav, answered, last_seconds);
    }
    wav_free(&wav);
    return ok;
}

// The exit status of a run that went as far as `ok` says, standard output
// written out; then the page it wrote, if any.
int finish(bool ok, const char *page = nullptr) {
    errno = 0;
    const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (ok && !written)
        std::fprintf(stderr, "error: failed to write standard output (%s)\n",
                     errno ? std::strerror(errno) : "the write did not complete");
    if (ok && written && page) std::fprintf(stderr, "wrote %s\n", page);
    return ok && written ? 0 : 1;
}

} // namespace

int tonesift_scan_main(int argc, char **argv) {
    ScanOptions o;
    if (const Asked asked = scan_options(argc, argv, &o); asked != Asked::scan)
        return finish(asked == Asked::answered);
    ScanHtml page;
    ScanHtml *html = o.html ? &page : nullptr;
    WavLoad load;
    const WavStep step = wav_load_begin(&load, o.input);
    if (load.source.pipe) {
        if (load.source.file) platform_widen_pipe(load.source.file);
        return finish(scan_pipe(o, &load, step, html), o.html);
    }
    WavData wav{};
    load.finite_later = true;
    if (step != WavStep::done || !wav_load_end(&load, &wav)) {
        report_unreadable(o.input);
        return 1;
    }
    bool ok = false;
    if (o.channel >= 0 && static_cast<uint32_t>(o.channel) >= wav.channels) {
        if (samples_finite(o, wav)) report_channel_outside(o.channel, o.input, wav.channels);
    } else ok = points_valid(o, wav) && scan_file(o, wav, html);
    wav_free(&wav);
    return finish(ok, o.html);
}
