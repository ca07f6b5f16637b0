// WAV input: one RIFF/WAVE file of 16/24/32-bit integer or 32/64-bit float
// PCM, read as doubles (full scale 1.0) one window at a time.
//
//   WavData wav;
//   if (!wav_load("take.wav", &wav)) fprintf(stderr, "%s\n", wav_error_text());
//   double x[4096];
//   wav_read_channel(&wav, 0, start_frame, 4096, x);  // silence outside the file
//   wav_free(&wav);
//
// A file is walked once and kept open; its samples are read only to check
// float data for NaN and infinity, so a query costs the same on a
// one-second file and on a two-hour one. An input that can't seek (a pipe,
// a FIFO, standard input from either) is read once, front to back, keeping
// only the frames its caller names at each data chunk, by the format in
// force there:
//
//   WavLoad load;
//   WavStep step = wav_load_begin(&load, "-");
//   while (step == WavStep::data) step = wav_load_keep(&load, span_for(load.walk.format));
//   if (step == WavStep::failed || !wav_load_end(&load, &wav)) { /* wav_error_text() */ }
//
// Every size a chunk can declare is read, past 4 GiB too: file offsets are
// 64-bit on every platform. Chunks other than "fmt " and "data" are walked
// and checked, not kept, so memory never grows with the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <utility>

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

// A pipe's kept frames, channel after channel.
struct WavKept {
    double *data;
    WavSpan span;
};

// A file's frames, read on demand; `file` is closed with the record when
// `owned` (standard input is not its to close).
struct WavFile {
    FILE *file;
    bool owned;
    int64_t data_offset;
};

// All zeros when it holds nothing. The frames come from one of two places:
// `file`, or, for a pipe (`from_pipe`), `kept`, which the record owns.
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
    WavFile file;
    WavKept kept;
    // Reads take a const record; one that finds a file shrunk says so here,
    // for the driver to name the cause.
    mutable bool read_failed;
};

// The reader's own records, public so that a load lives on its caller's stack.

// The facts of the last "fmt " chunk.
struct WavFormat {
    bool seen = false;
    bool is_float = false;
    bool extensible = false;
    uint32_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t bits = 0;
    uint32_t channel_mask = 0;
};

// An input read through one block: a file, which seeks to skip and whose
// size bounds every size a chunk declares, or a pipe, which reads and drops.
// A file's walk touches little beyond its headers and allocates nothing; a
// pipe is read in a few calls per megabyte.
struct WavSource {
    FILE *file = nullptr;
    bool owned = false;
    bool pipe = false;
    int64_t size = INT64_MAX; // a file's; a pipe's is not known
    int64_t offset = 0;       // of block[at] in the input
    unsigned char *block = nullptr;
    uint64_t capacity = 0;
    unsigned char file_block[16 * 1024];
    HeapArray<unsigned char> pipe_block;
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

// A pipe's data chunk as it passes: the kept span, converted, and the first
// non-finite float sample.
struct WavKeeper {
    WavFormat format;                 // in force when the chunk began
    uint64_t non_finite = UINT64_MAX; // sample index; UINT64_MAX for none
    HeapArray<double> data;
    WavSpan span{};
};

struct WavLoad {
    WavSource source;
    WavWalk walk;
    WavKeeper keeper;
};

enum class WavStep { data, done, failed };

// Opens `path` ("-" is standard input) and walks it: a file to its end, a
// pipe to the start of its first data chunk (WavStep::data).
WavStep wav_load_begin(WavLoad *load, const char *path);
// Passes the pipe's data chunk that begins, keeping `span` of it, and walks
// on to the next data chunk or the end. A span outside the format in force
// keeps nothing.
WavStep wav_load_keep(WavLoad *load, const WavSpan &span);
// Checks what the walk found and fills `out`: true when it was filled. On
// false `out` is zeroed, nothing stays allocated or open, and
// wav_error_text() says why.
bool wav_load_end(WavLoad *load, WavData *out);

// The three steps in one; a pipe keeps no frames.
bool wav_load(const char *path, WavData *out);

// The reason for the last failed load; valid until the next load begins.
const char *wav_error_text();

// Releases what the record owns and zeroes it. Null and empty records are fine.
void wav_free(WavData *wav);

// Fills out[0 .. count) with channel `channel` of frames start .. start+count-1;
// frames before the start or past the end of the file read as 0.0. False
// when the file could not supply the bytes, or a pipe did not keep them
// (`read_failed` is then set), or when memory ran out (it is not).
bool wav_read_channel(const WavData *wav, uint32_t channel, int64_t start, uint64_t count, double *out);
