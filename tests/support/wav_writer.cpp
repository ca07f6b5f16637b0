#include "support/wav_writer.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "wav/wav_internal.hpp"

static void put_u16(Bytes &b, uint32_t v) {
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void put_u32(Bytes &b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

void put_tag(Bytes &b, const char *four) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(four[i]));
}

static int64_t quantize(double value, double scale, int64_t lo, int64_t hi) {
    double v = std::round(value * scale);
    if (v < static_cast<double>(lo)) return lo;
    if (v > static_cast<double>(hi)) return hi;
    return static_cast<int64_t>(v);
}

void put_sample(Bytes &b, uint32_t encoding, double value) {
    switch (encoding) {
    case WAV_ENCODING_INT16: {
        auto v = static_cast<uint32_t>(quantize(value, 32767.0, -32768, 32767));
        put_u16(b, v & 0xFFFF);
        break;
    }
    case WAV_ENCODING_INT24: {
        auto v = static_cast<uint32_t>(quantize(value, 8388607.0, -8388608, 8388607));
        for (int i = 0; i < 3; ++i) b.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
        break;
    }
    case WAV_ENCODING_INT32: {
        auto v = static_cast<uint32_t>(quantize(value, 2147483647.0, INT32_MIN, INT32_MAX));
        put_u32(b, v);
        break;
    }
    case WAV_ENCODING_FLOAT32: {
        float f = static_cast<float>(value);
        uint32_t u;
        std::memcpy(&u, &f, 4);
        put_u32(b, u);
        break;
    }
    case WAV_ENCODING_FLOAT64: {
        uint64_t u;
        std::memcpy(&u, &value, 8);
        put_u32(b, static_cast<uint32_t>(u & 0xFFFFFFFFu));
        put_u32(b, static_cast<uint32_t>(u >> 32));
        break;
    }
    default: std::abort();
    }
}

Bytes fmt_body(const WavLayout &layout) {
    const bool is_float = layout.encoding > 256;
    const uint32_t bits = is_float ? layout.encoding - 256 : layout.encoding;
    const uint32_t tag = layout.extensible ? 0xFFFE : (is_float ? 3 : 1);
    return fmt_fields(tag, layout.channels, layout.sample_rate, bits, layout.extensible ? 40 : 16,
                      is_float ? 3 : 1, layout.channel_mask);
}

Bytes data_body(const WavLayout &layout, const std::vector<double> &interleaved) {
    Bytes b;
    for (double v : interleaved) put_sample(b, layout.encoding, v);
    return b;
}

Bytes chunk(const char *id, const Bytes &body, bool pad) {
    Bytes b;
    put_tag(b, id);
    put_u32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && body.size() % 2 == 1) b.push_back(0);
    return b;
}

Bytes riff(const Bytes &chunks) {
    Bytes b;
    put_tag(b, "RIFF");
    put_u32(b, static_cast<uint32_t>(chunks.size() + 4));
    put_tag(b, "WAVE");
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

Bytes make_wav(const WavLayout &layout, const std::vector<double> &interleaved) {
    Bytes chunks = chunk("fmt ", fmt_body(layout));
    Bytes data = chunk("data", data_body(layout, interleaved));
    chunks.insert(chunks.end(), data.begin(), data.end());
    return riff(chunks);
}

std::vector<double> sine(uint32_t rate, uint64_t frames, double freq_hz, double amplitude, double phase) {
    std::vector<double> x(frames);
    for (uint64_t i = 0; i < frames; ++i)
        x[i] = amplitude * std::sin(6.283185307179586 * freq_hz * static_cast<double>(i) / rate + phase);
    return x;
}

std::vector<double> add(const std::vector<double> &a, const std::vector<double> &b) {
    std::vector<double> r(a);
    for (size_t i = 0; i < r.size() && i < b.size(); ++i) r[i] += b[i];
    return r;
}

std::vector<double> interleave(const std::vector<std::vector<double>> &channels) {
    std::vector<double> r;
    if (channels.empty()) return r;
    size_t frames = channels[0].size();
    r.reserve(frames * channels.size());
    for (size_t f = 0; f < frames; ++f)
        for (const auto &c : channels) r.push_back(c[f]);
    return r;
}

MemoryWav::MemoryWav(Bytes file) : bytes(std::move(file)) {
    stream = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!stream || !wav_load_stream(stream, &wav)) std::abort();
}

MemoryWav::MemoryWav(const std::vector<double> &interleaved, uint32_t channels, uint32_t sample_rate,
                     uint32_t encoding)
    : MemoryWav(make_wav(WavLayout{sample_rate, static_cast<uint16_t>(channels), encoding}, interleaved)) {}

MemoryWav::~MemoryWav() {
    wav_free(&wav);
    std::fclose(stream);
}

bool write_file(const std::string &path, const Bytes &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    size_t n = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    bool ok = std::fclose(f) == 0 && n == bytes.size();
    return ok;
}

Bytes fmt_fields(uint32_t tag, uint32_t channels, uint32_t sample_rate, uint32_t bits, size_t size,
                 uint32_t sub_code, uint32_t channel_mask) {
    uint32_t align = bits / 8 * channels;
    Bytes b;
    put_u16(b, tag);
    put_u16(b, channels);
    put_u32(b, sample_rate);
    put_u32(b, sample_rate * align);
    put_u16(b, align);
    put_u16(b, bits);
    put_u16(b, 22);
    put_u16(b, bits);
    put_u32(b, channel_mask);
    put_u16(b, sub_code);
    static const unsigned char tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                           0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    b.insert(b.end(), tail, tail + 14);
    b.resize(size, 0);
    return b;
}

Bytes raw(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values) b.push_back(static_cast<unsigned char>(v));
    return b;
}

Bytes cat(const std::vector<Bytes> &parts) {
    Bytes r;
    for (const auto &p : parts) r.insert(r.end(), p.begin(), p.end());
    return r;
}
