// WAV input: one RIFF/WAVE file of 16/24/32-bit integer or 32/64-bit float
// PCM into interleaved doubles (full scale 1.0).
//
//   WavData wav;
//   if (!wav_load("take.wav", &wav)) fprintf(stderr, "%s\n", wav_error_text());
//   double s = wav.samples[frame * wav.channels + channel];
//   wav_free(&wav);
//
// Files of 2 GiB or more are refused with the generic reason: chunk offsets
// are handled as 32-bit signed values, so nothing past that is ever read.
#pragma once

#include <cstdint>
#include <cstdio>

// Sample encoding codes: width in bits, plus 256 for IEEE float.
constexpr uint32_t WAV_ENCODING_INT16 = 16;
constexpr uint32_t WAV_ENCODING_INT24 = 24;
constexpr uint32_t WAV_ENCODING_INT32 = 32;
constexpr uint32_t WAV_ENCODING_FLOAT32 = 288;
constexpr uint32_t WAV_ENCODING_FLOAT64 = 320;

// All zeros when it holds nothing. The record owns `samples` and `extra_chunks`.
struct WavData {
    uint32_t sample_rate;
    uint32_t channels;
    uint32_t encoding;
    bool extensible;
    uint32_t channel_mask;
    double *samples;           // frames * channels values, interleaved
    uint64_t frames;
    unsigned char *extra_chunks; // every other chunk: 8-byte header, body, pad byte
    uint64_t extra_chunks_len;
};

// True when `out` was filled. On false `out` is zeroed, nothing stays
// allocated or open, and wav_error_text() says why.
bool wav_load(const char *path, WavData *out);

// As wav_load, from an open seekable stream positioned at the file's start;
// the caller keeps and closes the stream.
bool wav_load_stream(FILE *stream, WavData *out);

// The reason for the last failed load; valid until the next wav_load.
const char *wav_error_text();

// Releases what the record owns and zeroes it. Null and empty records are fine.
void wav_free(WavData *wav);

// Sample conversions, one per encoding; `p` points at the little-endian bytes.
double wav_sample_int16(const unsigned char *p);
double wav_sample_int24(const unsigned char *p);
double wav_sample_int32(const unsigned char *p);
double wav_sample_float32(const unsigned char *p);
double wav_sample_float64(const unsigned char *p);

// Converts `count` samples of one encoding into `out`. Returns the index of
// the first non-finite sample, or `count` when every sample is finite.
uint64_t wav_convert_samples(const unsigned char *raw, uint64_t count, uint32_t encoding,
                             double *out);
