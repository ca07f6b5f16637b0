// Fuzzes the WAV reader on in-memory bytes and checks what a successful load
// promises: a supported encoding, non-zero rate and channels, finite samples.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "wav/wav.hpp"

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
                  wav.extra_chunks_len <= size;
        uint64_t count = wav.frames * wav.channels;
        for (uint64_t i = 0; ok && i < count; ++i) ok = std::isfinite(wav.samples[i]);
        if (!ok) std::abort();
    }
    wav_free(&wav);
    std::fclose(f);
    return 0;
}
