#include <cstring>

#include "base/heap.hpp"
#include "wav/wav.hpp"
#include "wav/wav_internal.hpp"

// Frames of up to this many bytes are read in blocks; wider frames (hundreds
// of channels) are read one sample at a time, so a window never reads the
// channels it does not need.
static constexpr uint64_t BLOCK_BYTES = 64 * 1024;

template <double (*convert)(const unsigned char *)>
static void convert_each(const unsigned char *p, uint64_t stride, uint64_t n, double *out) {
    for (uint64_t i = 0; i < n; ++i) out[i] = convert(p + i * stride);
}

// Two lanes of doubles; each lane's division is the scalar one. Why: the
// division is most of an integer sample's conversion, and a 24-bit scan
// every 10 ms took 1.1 x as long one sample at a time (2026-12).
typedef double Pair __attribute__((vector_size(16)));

template <int32_t (*value)(const unsigned char *), const double &full_scale>
static void divide_each(const unsigned char *p, uint64_t stride, uint64_t n, double *out) {
    uint64_t i = 0;
    for (; i + 2 <= n; i += 2) {
        Pair v = {static_cast<double>(value(p + i * stride)),
                  static_cast<double>(value(p + (i + 1) * stride))};
        v = v / full_scale;
        std::memcpy(out + i, &v, sizeof v);
    }
    if (i < n) out[i] = static_cast<double>(value(p + i * stride)) / full_scale;
}

// One channel's samples of n frames `stride` bytes apart, each encoding's
// conversion inlined into its own loop.
void wav_convert_run(uint32_t encoding, const unsigned char *p, uint64_t stride, uint64_t n, double *out) {
    switch (encoding) {
    case WAV_ENCODING_INT16: return divide_each<int16_value, INT16_FULL_SCALE>(p, stride, n, out);
    case WAV_ENCODING_INT24: return divide_each<int24_value, INT24_FULL_SCALE>(p, stride, n, out);
    case WAV_ENCODING_INT32: return divide_each<int32_value, INT32_FULL_SCALE>(p, stride, n, out);
    case WAV_ENCODING_FLOAT32: return convert_each<sample_float32>(p, stride, n, out);
    default: return convert_each<sample_float64>(p, stride, n, out);
    }
}

// A pipe was read once: only the frames it kept are there.
static bool read_kept(const WavData *wav, uint32_t channel, int64_t first, uint64_t count, double *out) {
    const WavSpan &kept = wav->kept_span;
    if (channel < kept.channel || channel - kept.channel >= kept.channels || first < kept.first ||
        first + static_cast<int64_t>(count) > kept.first + static_cast<int64_t>(kept.frames)) {
        wav->read_failed = true;
        return false;
    }
    const double *from = wav->kept + (channel - kept.channel) * kept.frames +
                         static_cast<uint64_t>(first - kept.first);
    std::memcpy(out, from, static_cast<size_t>(count) * sizeof(double));
    return true;
}

static WavBlocks read_from_file(const WavData *wav, uint32_t channel, uint64_t first, uint64_t count,
                                double *out, unsigned char *scratch, uint64_t scratch_bytes) {
    const uint32_t encoding = wav->encoding;
    const uint64_t width = wav_sample_width(encoding);
    const uint64_t frame_size = width * wav->channels;
    FILE *file = wav->file;
    const uint64_t offset = static_cast<uint64_t>(wav->data_offset) + first * frame_size;
    const uint64_t block_bytes = scratch && scratch_bytes < BLOCK_BYTES ? scratch_bytes : BLOCK_BYTES;

    if (frame_size > block_bytes) {
        unsigned char sample[8];
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t at = offset + i * frame_size + channel * width;
            if (!platform_read_at(file, static_cast<int64_t>(at), sample,
                                  static_cast<size_t>(width))) // 2 to 8
                return WavBlocks::failed;
            wav_convert_run(encoding, sample, 0, 1, out + i);
        }
        return WavBlocks::ok;
    }

    const auto convert_block = [&](const unsigned char *block, uint64_t n, uint64_t done) {
        wav_convert_run(encoding, block + channel * width, frame_size, n, out + done);
        return true;
    };
    return wav_read_blocks(file, static_cast<int64_t>(offset), frame_size, count, scratch, block_bytes,
                           convert_block);
}

bool wav_read_channel(const WavData *wav, uint32_t channel, int64_t start, uint64_t count, double *out,
                      unsigned char *scratch, uint64_t scratch_bytes) {
    // The part of the request that lies inside the file; the rest is silence.
    const int64_t frames = static_cast<int64_t>(wav->frames);
    const int64_t end = start + static_cast<int64_t>(count);
    const int64_t lo = start > 0 ? start : 0;
    const int64_t hi = end < frames ? end : frames;
    if (lo >= hi || channel >= wav->channels) {
        for (uint64_t i = 0; i < count; ++i) out[i] = 0.0;
        return true;
    }
    for (int64_t i = 0; i < lo - start; ++i) out[i] = 0.0;
    for (uint64_t i = static_cast<uint64_t>(hi - start); i < count; ++i) out[i] = 0.0;

    double *dst = out + (lo - start);
    const uint64_t first = static_cast<uint64_t>(lo);
    const uint64_t n = static_cast<uint64_t>(hi - lo);
    if (wav->from_pipe) return read_kept(wav, channel, lo, n, dst);
    const WavBlocks r = read_from_file(wav, channel, first, n, dst, scratch, scratch_bytes);
    if (r == WavBlocks::failed) wav->read_failed = true;
    return r == WavBlocks::ok;
}
