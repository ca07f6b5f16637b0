// Test-side WAV builder: makes well-formed and deliberately broken RIFF/WAVE
// files in memory, and writes them to disk. Signals are generated in code.
//
//   WavLayout s{48000, 2, WAV_ENCODING_INT24};
//   std::vector<double> x = interleave({sine(48000, 2 * 48000, 1000.0, 0.5),
//                                       silence(2 * 48000)});
//   write_file(path, make_wav(s, x));
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "wav/wav.hpp"

using Bytes = std::vector<unsigned char>;

struct WavLayout {
    uint32_t sample_rate = 48000;
    uint16_t channels = 1;
    uint32_t encoding = WAV_ENCODING_INT16; // WAV_ENCODING_* code
    bool extensible = false;                // 40-byte WAVE_FORMAT_EXTENSIBLE chunk
    uint32_t channel_mask = 0;
};

// Little-endian field writers.
void put_u32(Bytes &b, uint32_t v);
void put_tag(Bytes &b, const char *four);

// Encodes one sample value (full scale 1.0) the way a writer of that encoding
// would: integers rounded and clamped, floats stored as is.
void put_sample(Bytes &b, uint32_t encoding, double value);

// The "fmt " chunk body for a WavLayout (16 bytes plain, 40 extensible).
Bytes fmt_body(const WavLayout &layout);
// Raw sample bytes of interleaved values.
Bytes data_body(const WavLayout &layout, const std::vector<double> &interleaved);
// One chunk: id, little-endian size, body, and a pad byte when the size is odd
// (unless `pad` is false).
Bytes chunk(const char *id, const Bytes &body, bool pad = true);
// "RIFF" + size + "WAVE" + the given chunk bytes.
Bytes riff(const Bytes &chunks);
// A complete ordinary file: fmt then data.
Bytes make_wav(const WavLayout &layout, const std::vector<double> &interleaved);

// Signals.
std::vector<double> sine(uint32_t rate, uint64_t frames, double freq_hz, double amplitude,
                         double phase = 0.0);
std::vector<double> add(const std::vector<double> &a, const std::vector<double> &b);
std::vector<double> interleave(const std::vector<std::vector<double>> &channels);

// Audio held in memory as a WAV file (64-bit float unless told), or any
// file's bytes, loaded through the stream loader; usable wherever a
// const WavData & is taken.
struct MemoryWav {
    Bytes bytes;
    FILE *stream = nullptr;
    WavData wav{};
    explicit MemoryWav(Bytes file);
    MemoryWav(const std::vector<double> &interleaved, uint32_t channels, uint32_t sample_rate = 48000,
              uint32_t encoding = WAV_ENCODING_FLOAT64);
    MemoryWav(const MemoryWav &) = delete;
    MemoryWav &operator=(const MemoryWav &) = delete;
    ~MemoryWav();
    operator const WavData &() const { return wav; }
};

bool write_file(const std::string &path, const Bytes &bytes);

// A format chunk body from raw fields, for layouts a writer would not make:
// the 40-byte extensible layout (sub-format `sub_code`), cut or zero-padded to
// `size` bytes.
Bytes fmt_fields(uint32_t tag, uint32_t channels, uint32_t sample_rate, uint32_t bits, size_t size,
                 uint32_t sub_code = 1, uint32_t channel_mask = 0);
// Byte values, and the concatenation of byte pieces.
Bytes raw(std::initializer_list<int> values);
Bytes cat(const std::vector<Bytes> &parts);
