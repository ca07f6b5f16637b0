// WAV input: one RIFF/WAVE file of 16/24/32-bit integer or 32/64-bit float
// PCM, read as doubles (full scale 1.0) one window at a time.
//
//   WavData wav;
//   if (!wav_load("take.wav", &wav)) fprintf(stderr, "%s\n", wav_error_text());
//   double x[4096];
//   wav_read_channel(&wav, 0, start_frame, 4096, x);  // silence outside the file
//   wav_free(&wav);
//
// Loading walks the chunks and keeps the file open; it reads sample data only
// to check float files for NaN and infinity, so a query costs the same on a
// one-second file and on a two-hour one.
//
// Every size a RIFF chunk can declare is read, past 4 GiB too where other
// chunks come first: file offsets are 64-bit on every platform. Chunks other
// than "fmt " and "data" are walked and checked, not kept, so memory never
// grows with the file.
#pragma once

#include <cstdint>
#include <cstdio>

// Sample encoding codes: width in bits, plus 256 for IEEE float.
constexpr uint32_t WAV_ENCODING_INT16 = 16;
constexpr uint32_t WAV_ENCODING_INT24 = 24;
constexpr uint32_t WAV_ENCODING_INT32 = 32;
constexpr uint32_t WAV_ENCODING_FLOAT32 = 288;
constexpr uint32_t WAV_ENCODING_FLOAT64 = 320;

// An input that can't seek (a pipe, a FIFO, standard input from either) is
// read once, front to back, and keeps only the frames that the query's
// windows can reach. This says which: the driver's own resolution of the
// query point for a sample rate, the window length and the channels.
struct WavQuery {
    int64_t (*frame_at)(const void *context, uint32_t sample_rate);
    const void *context;
    uint64_t window;
    int32_t channel; // negative: channels 0 .. max_channels - 1
    uint32_t max_channels;
};

// What a stream kept of its data: `frames` frames from `first`, of
// `channels` channels from `channel`, channel after channel.
struct WavKept {
    double *data;
    int64_t first;
    uint64_t frames;
    uint32_t channel;
    uint32_t channels;
};

// All zeros when it holds nothing. The record owns `file` when `owns_file`
// is set, and `kept.data`.
struct WavData {
    uint32_t sample_rate;
    uint32_t channels;
    uint32_t encoding;
    bool extensible;
    uint32_t channel_mask;
    uint64_t frames;
    unsigned char *extra_chunks; // other chunks are not kept: always null
    uint64_t extra_chunks_len;   // and 0
    FILE *file;                  // where the frames are read from on demand
    bool owns_file;
    int64_t data_offset;      // file offset of the first sample byte
    mutable bool read_failed; // a later read could not get its bytes
    WavKept kept;             // a stream's frames, read from here (no `file` then)
};

// True when `out` was filled. On false `out` is zeroed, nothing stays
// allocated or open, and wav_error_text() says why. The path "-" is standard
// input. `query` matters only to an input that can't seek; without it such
// an input keeps no frames.
bool wav_load(const char *path, WavData *out, const WavQuery *query = nullptr);

// The reason for the last failed load; valid until the next wav_load.
const char *wav_error_text();

// Releases what the record owns and zeroes it. Null and empty records are fine.
void wav_free(WavData *wav);

// Fills out[0 .. count) with channel `channel` of frames start .. start+count-1;
// frames before the start or past the end of the file read as 0.0. False
// when the file could not supply the bytes, or a stream did not keep them
// (`read_failed` is then set), or when memory ran out (it is not).
bool wav_read_channel(const WavData *wav, uint32_t channel, int64_t start, uint64_t count, double *out);
