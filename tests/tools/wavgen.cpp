// Writes WAV files from a short description, for the test tables, the
// fuzz seeds, the shipped examples and the benchmarks:
//
//   wavgen FILE [i16|i24|i32|f32|f64] [rate=R] [ch=C] [frames=F] [ext[=MASK]]
//          [tone=CH:FREQ:AMP[:PHASE]]... [noise=AMP] [set=INDEX:VALUE]...
//
// Defaults: i16, 48000 Hz, one channel, one second. A channel is silent but
// for its tones (CH an index, or * for all; PHASE in radians), plus repeatable
// noise drawn channel after channel; `set` then overwrites one interleaved
// sample (nan and inf work). Samples are streamed: long files cost no memory.
//
//   wavgen FILE raw [riff] PIECE...       (FILE - is standard output)
//
// writes any layout, lies included: "riff" wraps what follows in RIFF, its
// size and WAVE; bytes=BODY is the body as it is; ID=BODY a chunk (id of 4
// characters, '_' for a space) with its size and a pad byte when odd;
// ID/SIZE=BODY a header declaring SIZE (decimal or 0x...), then the body.
// A BODY joins parts with '+': x:HEX, t:TEXT, z:N zero bytes, i16:V,...
// i24: i32: little-endian integers, f32:V,... f64: floats, and
// fmt:TAG,CH,RATE,BITS[,SIZE[,SUB[,MASK]]] a format body of SIZE bytes (16
// unless told; 40 hold the extensible fields).
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/wav_bytes.hpp"

namespace {

struct Tone {
    long channel; // -1: every channel
    double freq_hz, amplitude, phase;
};

struct Description {
    uint32_t encoding = WAV_ENCODING_INT16, rate = 48000, channels = 1, mask = 0;
    bool extensible = false;
    uint64_t frames = UINT64_MAX;
    std::vector<Tone> tones;
    std::vector<std::pair<uint64_t, double>> settings; // interleaved index, value
    double noise = 0.0;
    std::vector<double> noise_values; // channel-major, drawn once
};

bool starts(const char *arg, const char *prefix, const char **rest) {
    *rest = arg + std::strlen(prefix);
    return std::strncmp(arg, prefix, std::strlen(prefix)) == 0;
}

bool parse(int argc, char **argv, Description *d) {
    const char *names[] = {"i16", "i24", "i32", "f32", "f64"};
    const uint32_t codes[] = {WAV_ENCODING_INT16, WAV_ENCODING_INT24, WAV_ENCODING_INT32,
                              WAV_ENCODING_FLOAT32, WAV_ENCODING_FLOAT64};
    for (int i = 2; i < argc; ++i) {
        const char *a = argv[i], *v = nullptr;
        bool known = false;
        for (int e = 0; e < 5; ++e)
            if (std::strcmp(a, names[e]) == 0) d->encoding = codes[e], known = true;
        if (known) continue;
        if (starts(a, "rate=", &v)) {
            d->rate = static_cast<uint32_t>(std::strtoul(v, nullptr, 10));
        } else if (starts(a, "ch=", &v)) {
            d->channels = static_cast<uint32_t>(std::strtoul(v, nullptr, 10));
        } else if (starts(a, "frames=", &v)) {
            d->frames = std::strtoull(v, nullptr, 10);
        } else if (starts(a, "ext", &v) && (*v == '\0' || *v == '=')) {
            d->extensible = true;
            d->mask = *v ? static_cast<uint32_t>(std::strtoul(v + 1, nullptr, 0)) : 0;
        } else if (starts(a, "tone=", &v)) {
            Tone t{-1, 0, 0, 0};
            const int got = *v == '*'
                                ? 1 + std::sscanf(v + 1, ":%lf:%lf:%lf", &t.freq_hz, &t.amplitude, &t.phase)
                                : std::sscanf(v, "%ld:%lf:%lf:%lf", &t.channel, &t.freq_hz, &t.amplitude,
                                              &t.phase);
            if (got < 3) return false;
            d->tones.push_back(t);
        } else if (starts(a, "noise=", &v)) {
            d->noise = std::strtod(v, nullptr);
        } else if (starts(a, "set=", &v)) {
            std::pair<uint64_t, double> set;
            if (std::sscanf(v, "%" SCNu64 ":%lf", &set.first, &set.second) != 2) return false;
            d->settings.push_back(set);
        } else {
            std::fprintf(stderr, "wavgen: what is '%s'?\n", a);
            return false;
        }
    }
    if (d->frames == UINT64_MAX) d->frames = d->rate;
    uint64_t state = 0x2545F4914F6CDD1Dull;
    if (d->noise != 0.0) d->noise_values.resize(d->frames * d->channels);
    for (double &n : d->noise_values) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        n = static_cast<double>(state >> 11) / 4503599627370496.0 - 1.0;
    }
    return d->channels > 0 && d->rate > 0;
}

double sample_at(const Description &d, uint64_t frame, uint32_t channel) {
    double v = 0.0;
    for (const Tone &t : d.tones)
        if (t.channel < 0 || static_cast<uint32_t>(t.channel) == channel)
            v += t.amplitude *
                 std::sin(6.283185307179586 * t.freq_hz * static_cast<double>(frame) / d.rate + t.phase);
    if (!d.noise_values.empty()) v += d.noise * d.noise_values[channel * d.frames + frame];
    for (const auto &[index, value] : d.settings)
        if (index == frame * d.channels + channel) v = value;
    return v;
}

// Appends the parts of one BODY; false when one can't be read.
bool body(const std::string &text, Bytes *out) {
    for (size_t at = 0; at <= text.size();) {
        const size_t plus = std::min(text.find('+', at), text.size());
        const std::string part = text.substr(at, plus - at);
        at = plus + 1;
        const size_t colon = part.find(':');
        if (colon == std::string::npos) return false;
        const std::string kind = part.substr(0, colon), value = part.substr(colon + 1);
        if (kind == "t") {
            out->insert(out->end(), value.begin(), value.end());
        } else if (kind == "x") {
            for (size_t i = 0; i + 1 < value.size(); i += 2)
                out->push_back(static_cast<unsigned char>(std::stoul(value.substr(i, 2), nullptr, 16)));
        } else if (kind == "z") {
            out->resize(out->size() + std::stoull(value), 0);
        } else {
            std::vector<std::string> items;
            for (size_t i = 0; i <= value.size();) {
                const size_t comma = std::min(value.find(',', i), value.size());
                items.push_back(value.substr(i, comma - i));
                i = comma + 1;
            }
            const int width = kind == "i16" ? 2 : kind == "i24" ? 3 : kind == "i32" ? 4 : 0;
            if (kind == "fmt") {
                unsigned long long f[7] = {0, 0, 0, 0, 16, 1, 0};
                if (items.size() < 4 || items.size() > 7) return false;
                for (size_t i = 0; i < items.size(); ++i) f[i] = std::strtoull(items[i].c_str(), nullptr, 0);
                const Bytes b = fmt_fields(static_cast<uint32_t>(f[0]), static_cast<uint32_t>(f[1]),
                                           static_cast<uint32_t>(f[2]), static_cast<uint32_t>(f[3]), f[4],
                                           static_cast<uint32_t>(f[5]), static_cast<uint32_t>(f[6]));
                out->insert(out->end(), b.begin(), b.end());
                continue;
            }
            if (!width && kind != "f32" && kind != "f64") return false;
            for (const std::string &item : items) {
                if (width) put_le(*out, static_cast<uint64_t>(std::stoll(item, nullptr, 0)), width);
                else
                    put_sample(*out, kind == "f32" ? WAV_ENCODING_FLOAT32 : WAV_ENCODING_FLOAT64,
                               std::strtod(item.c_str(), nullptr));
            }
        }
    }
    return true;
}

// The raw pieces of argv[3...], in order; false on a piece it can't read.
bool raw_file(int argc, char **argv, Bytes *file) {
    const bool wrap = argc > 3 && std::strcmp(argv[3], "riff") == 0;
    for (int i = wrap ? 4 : 3; i < argc; ++i) {
        const std::string piece = argv[i];
        const size_t eq = piece.find('=');
        Bytes b;
        if (eq == std::string::npos || !body(piece.substr(eq + 1), &b)) return false;
        if (piece.compare(0, eq, "bytes") != 0) {
            if (eq < 4 || (eq > 4 && piece[4] != '/')) return false;
            for (size_t c = 0; c < 4; ++c)
                file->push_back(piece[c] == '_' ? ' ' : static_cast<unsigned char>(piece[c]));
            char *end = nullptr;
            put_le(*file, eq == 4 ? b.size() : std::strtoull(piece.c_str() + 5, &end, 0), 4);
            if (eq == 4 && b.size() % 2) b.push_back(0);
            if (eq > 4 && end != piece.c_str() + eq) return false;
        }
        file->insert(file->end(), b.begin(), b.end());
    }
    if (wrap) {
        Bytes head;
        put_tag(head, "RIFF");
        put_le(head, file->size() + 4, 4);
        put_tag(head, "WAVE");
        file->insert(file->begin(), head.begin(), head.end());
    }
    return true;
}

bool stream(const Description &d, FILE *f) {
    const uint64_t data_bytes = d.frames * d.channels * ((d.encoding & 0xFFu) / 8u);
    const Bytes fmt = fmt_fields(d.extensible       ? 0xFFFE
                                 : d.encoding > 256 ? 3
                                                    : 1,
                                 d.channels, d.rate, d.encoding & 0xFF, d.extensible ? 40 : 16,
                                 d.encoding > 256 ? 3 : 1, d.mask);
    Bytes block;
    put_tag(block, "RIFF");
    put_le(block, 4 + 8 + fmt.size() + 8 + data_bytes + data_bytes % 2, 4);
    put_tag(block, "WAVE");
    put_tag(block, "fmt ");
    put_le(block, fmt.size(), 4);
    block.insert(block.end(), fmt.begin(), fmt.end());
    put_tag(block, "data");
    put_le(block, data_bytes, 4);
    for (uint64_t frame = 0; frame <= d.frames; ++frame) {
        for (uint32_t c = 0; frame < d.frames && c < d.channels; ++c)
            put_sample(block, d.encoding, sample_at(d, frame, c));
        if (frame == d.frames && data_bytes % 2) block.push_back(0);
        if (block.size() >= (1u << 16) || frame == d.frames) {
            if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) return false;
            block.clear();
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    const bool raw = argc > 2 && std::strcmp(argv[2], "raw") == 0;
    Description d;
    Bytes file;
    if (raw ? !raw_file(argc, argv, &file) : argc < 2 || !parse(argc, argv, &d)) {
        std::fprintf(stderr,
                     "usage: wavgen FILE [i16|i24|i32|f32|f64] [rate=R] [ch=C] [frames=F] [ext[=MASK]] "
                     "[tone=CH:FREQ:AMP[:PHASE]]... [noise=AMP] [set=INDEX:VALUE]...\n"
                     "       wavgen FILE raw [riff] PIECE...\n");
        return 2;
    }
    FILE *f = std::strcmp(argv[1], "-") == 0 ? stdout : std::fopen(argv[1], "wb");
    bool ok = f && (raw ? file.empty() || std::fwrite(file.data(), 1, file.size(), f) == file.size()
                        : stream(d, f));
    if (!f || std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "wavgen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
