// WAV input: one RIFF/WAVE file of 16/24/32-bit integer or 32/64-bit float
// PCM, read as doubles (full scale 1.0) one window at a time.
//
//   WavData wav;
//   if (!wav_load("take.wav", &wav)) fprintf(stderr, "%s\n", wav_error_text());
//   double x[4096];
//   wav_read_channel(&wav, 0, start_frame, 4096, x);  // silence outside the file
//   wav_free(&wav);
//
// A file is walked once and kept open, its samples read only to check float
// data for NaN and infinity: a query costs the same on a one-second file and
// on a two-hour one, past 4 GiB too. An input that can't seek (a pipe, a
// FIFO, standard input from either) is read once, keeping of each data chunk
// only the frames its caller names for the format in force there:
//
//   WavLoad load;
//   WavStep step = wav_load_begin(&load, "-");
//   while (step == WavStep::data) step = wav_load_keep(&load, span_for(load.walk.format));
//   if (step == WavStep::failed || !wav_load_end(&load, &wav)) { /* wav_error_text() */ }
//
// Chunks other than "fmt " and "data" are checked, not kept.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/heap.hpp"

// Sample encoding codes: width in bits, plus 256 for IEEE float.
constexpr uint32_t WAV_ENCODING_INT16 = 16;
constexpr uint32_t WAV_ENCODING_INT24 = 24;
constexpr uint32_t WAV_ENCODING_INT32 = 32;
constexpr uint32_t WAV_ENCODING_FLOAT32 = 288;
constexpr uint32_t WAV_ENCODING_FLOAT64 = 320;

// Frames first .. first + frames - 1 of channels channel .. channel + channels - 1.
struct WavSpan {
    int64_t first;
    uint64_t frames;
    uint32_t channel;
    uint32_t channels;
};

// All zeros when it holds nothing. The frames are read on demand from a
// file, or come from what a pipe kept (`from_pipe`), channel after channel.
// The record closes `file` when `owns_file` and frees `kept`.
struct WavData {
    uint32_t sample_rate;
    uint32_t channels;
    uint32_t encoding;
    bool extensible;
    uint32_t channel_mask;
    uint64_t frames;
    unsigned char *extra_chunks; // other chunks are not kept: always null
    uint64_t extra_chunks_len;   // and 0
    bool from_pipe;
    FILE *file;
    bool owns_file;      // standard input is not the record's to close
    int64_t data_offset; // of the file's first sample byte
    double *kept;
    WavSpan kept_span;
    // Reads take a const record; one that finds a file shrunk says so here,
    // for the driver to name the cause.
    mutable bool read_failed;
};

// The reader's own records, public so that a load lives on its caller's
// stack. The facts of the last "fmt " chunk:
struct WavFormat {
    bool seen = false;
    bool is_float = false;
    bool extensible = false;
    uint32_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t bits = 0;
    uint32_t channel_mask = 0;
};

// Bytes per frame of a format that can be read, else 0.
inline uint64_t wav_frame_size(const WavFormat &fmt) {
    const bool width_ok = fmt.is_float ? fmt.bits == 32 || fmt.bits == 64
                                       : fmt.bits == 16 || fmt.bits == 24 || fmt.bits == 32;
    return width_ok && fmt.channels != 0 && fmt.sample_rate != 0 ? uint64_t{fmt.bits / 8} * fmt.channels : 0;
}

// An input read through a block as large as a pipe's buffer: a file seeks to
// skip, and its size bounds every size a chunk declares; a pipe reads and drops.
struct WavSource {
    FILE *file = nullptr;
    bool owned = false;
    bool pipe = false;
    int64_t size = INT64_MAX; // a file's; a pipe's is not known
    int64_t offset = 0;       // of block[at] in the input
    unsigned char block[64 * 1024];
    uint64_t at = 0;
    uint64_t len = 0;
    bool ended = false; // the end, or a read error: either ends the walk
    ~WavSource() {
        if (file && owned) std::fclose(file);
    }
    FILE *release() { return std::exchange(file, nullptr); }
};

// What the chunk walk has found so far.
struct WavWalk {
    WavFormat format;
    bool have_data = false;
    bool format_after_data = false; // a "fmt " after the last "data"
    uint32_t data_size = 0;         // the last data chunk's, as declared
    int64_t data_offset = 0;        // and where its body begins
    uint64_t data_arrived = 0;      // of its bytes, how many the input holds
};

// A pipe's data chunk as it passes.
struct WavKeeper {
    WavFormat format;                 // in force when the chunk began
    uint64_t passed = 0;              // bytes of the chunk so far
    uint64_t non_finite = UINT64_MAX; // sample index; UINT64_MAX for none
    HeapArray<double> data;           // `span`, converted
    WavSpan span{};
};

struct WavLoad {
    WavSource source;
    WavWalk walk;
    WavKeeper keeper;
    // A float file's samples are then left for the caller to check with
    // wav_finite before it trusts an answer.
    bool finite_later = false;
};

enum class WavStep { data, done, failed };

// Opens `path` ("-" is standard input) and walks it: a file to its end, a
// pipe to the start of its first data chunk (WavStep::data).
WavStep wav_load_begin(WavLoad *load, const char *path);
// Passes the pipe's data chunk that begins, keeping `span` of it (nothing
// where it lies outside the format in force), and walks on.
WavStep wav_load_keep(WavLoad *load, const WavSpan &span);
// Checks what the walk found and fills `out`: true when it was filled. On
// false `out` is zeroed and wav_error_text() says why. Nothing stays open or
// allocated but what `out` holds.
bool wav_load_end(WavLoad *load, WavData *out);
// The same step for a caller that answers as a pipe passes: begins keeping
// `span`, then passes the chunk's bytes until frame `end` has arrived (or the
// chunk or the stream ends) and returns the frames arrived; the span moves
// forward to start at `first` (the frames it keeps stay); the rest passes
// and the walk goes on. `view` reads what is kept of `frames` frames so far.
bool wav_pipe_begin(WavLoad *load, const WavSpan &span);
uint64_t wav_pipe_pass_to(WavLoad *load, uint64_t end);
void wav_pipe_move(WavLoad *load, int64_t first);
WavStep wav_pipe_walk_on(WavLoad *load);
WavData wav_pipe_view(const WavLoad &load, uint64_t frames);
// The three steps in one; a pipe keeps no frames.
bool wav_load(const char *path, WavData *out);

// The reason for the last failed load; valid until the next load begins.
const char *wav_error_text();

// The same failure as a value, with its figures, for a caller that says
// more than that text does. The first cause a load meets is the one kept.
enum class WavReason {
    none,
    cannot_open, // error
    directory,
    not_riff,
    short_format, // a: the "fmt " chunk's size
    format_code,  // a: the format tag
    sub_format,   // a: an extensible chunk's sub-format code
    width,        // a: bits per sample, b: 1 for float
    no_channels,
    no_rate,
    no_format,
    no_data,
    cut_short,         // chunk; a: bytes declared, b: bytes there
    partial_frame,     // a: data bytes, b: bytes per frame
    format_after_data, // a stream's last "fmt " after its last "data"
    non_finite,        // a: frame, b: channel
    read_error,        // error
    no_memory,
};
struct WavFailure {
    WavReason reason;
    int error; // errno, where the system gave one
    char chunk[5];
    uint64_t a, b;
};
const WavFailure &wav_failure();

// True when no sample of a float file is NaN or infinite (always for other
// encodings and for a pipe, whose keeper saw every sample); false, with the
// first one's frame and channel in wav_error_text(), or when the file can't
// be read. Reads through `block` (null: one of its own); it touches no other
// memory, so it may run beside the record's other reads.
constexpr uint64_t WAV_FINITE_BLOCK = 256u << 10; // fits in the second-level cache
bool wav_finite(const WavData &wav, unsigned char *block, uint64_t block_bytes);
// The same check in parts, for a caller that shares them among threads:
// part i holds the data's samples from i * WAV_FINITE_PART_BYTES / width
// on. A part's check touches nothing shared; wav_finite_fail then says what
// the first part that did not pass found, as wav_finite would, and is false.
constexpr uint64_t WAV_FINITE_PART_BYTES = 8u << 20;
struct WavPartCheck {
    enum { passed, not_finite, unreadable, no_memory } found;
    uint64_t sample; // the first not finite, counted from the data's start
    int error;       // errno, for unreadable
};
uint64_t wav_finite_parts(const WavData &wav); // 0: nothing to check
WavPartCheck wav_finite_part(const WavData &wav, uint64_t part, unsigned char *block, uint64_t block_bytes);
bool wav_finite_fail(const WavData &wav, const WavPartCheck &check);

// Releases what the record owns and zeroes it. Null and empty records are fine.
void wav_free(WavData *wav);

// Fills out[0 .. count) with channel `channel` of frames start .. start+count-1;
// frames before the start or past the end of the file read as 0.0. False
// when the file could not supply the bytes, or a pipe did not keep them
// (`read_failed` is then set), or when memory ran out (it is not). A file is
// read through `scratch` when one is given (nothing is allocated then), so
// two threads with a block each may read one record at once.
bool wav_read_channel(const WavData *wav, uint32_t channel, int64_t start, uint64_t count, double *out,
                      unsigned char *scratch = nullptr, uint64_t scratch_bytes = 0);
