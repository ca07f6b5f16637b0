// Fuzzes the WAV reader on in-memory bytes and checks what a successful load
// promises: a supported encoding, non-zero rate and channels, finite samples.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "wav/wav_internal.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0; // fmemopen refuses an empty buffer
    FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!f) return 0;
    WavData wav;
    if (wav_load_stream(f, &wav)) {
        bool ok = wav.sample_rate != 0 && wav.channels != 0 &&
                  (wav.encoding == WAV_ENCODING_INT16 || wav.encoding == WAV_ENCODING_INT24 ||
                   wav.encoding == WAV_ENCODING_INT32 || wav.encoding == WAV_ENCODING_FLOAT32 ||
                   wav.encoding == WAV_ENCODING_FLOAT64) &&
                  wav.extra_chunks_len == 0;
        // Every frame reads back (in bounded slices) and is finite.
        double slice[256];
        for (uint32_t c = 0; ok && c < wav.channels && c < 4; ++c)
            for (uint64_t frame = 0; ok && frame < wav.frames; frame += 256) {
                ok = wav_read_channel(&wav, c, static_cast<int64_t>(frame), 256, slice);
                for (int i = 0; ok && i < 256; ++i) ok = std::isfinite(slice[i]);
            }
        if (!ok) std::abort();
    }
    wav_free(&wav);
    std::fclose(f);
    return 0;
}
