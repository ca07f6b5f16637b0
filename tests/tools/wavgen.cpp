// Writes a well-formed WAV file from a short description, for the test tables
// and the benchmarks:
//
//   wavgen FILE [i16|i24|i32|f32|f64] [rate=R] [ch=C] [frames=F] [ext[=MASK]]
//          [tone=CH:FREQ:AMP[:PHASE]]... [noise=AMP] [set=INDEX:VALUE]...
//
// Defaults: i16, 48000 Hz, one channel, one second. Every channel is silent
// but for its tones, which add up in the order given; CH is a channel index
// or * for every channel; PHASE is in radians. `noise` adds repeatable noise
// of that amplitude, drawn channel after channel. `set` then overwrites one
// interleaved sample (strtod text, so nan and inf work for float files).
// The samples are streamed, so a ten-minute recording costs no memory.
//
// Raw mode writes any layout, lies included, as a list of pieces:
//
//   wavgen FILE raw [riff] PIECE...
//
//   riff          "RIFF", the size of all that follows it, "WAVE" (first only)
//   bytes=BODY    the body's bytes as they are
//   ID=BODY       a chunk: its id (4 characters, '_' for a space), the body's
//                 size, the body and a pad byte when that size is odd
//   ID/SIZE=BODY  a chunk header that declares SIZE (decimal or 0x...), then
//                 the body as it is, without a pad byte
//
// A BODY is one or more parts joined by '+':
//   x:HEX                       bytes in hex          t:TEXT   its ASCII bytes
//   z:N                         N zero bytes
//   i16:V,...  i24:  i32:       little-endian integers as given
//   f32:V,...  f64:             IEEE floats (nan and inf work)
//   fmt:TAG,CH,RATE,BITS[,SIZE[,SUB[,MASK]]]   a format chunk body of SIZE
//                               bytes (16 unless told; 40 hold the extensible
//                               fields, sub-format SUB and channel mask MASK)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/wav_writer.hpp"

namespace {

struct Tone {
    long channel; // -1: every channel
    double freq_hz, amplitude, phase;
};

struct Setting {
    uint64_t index;
    double value;
};

struct Description {
    WavLayout layout{48000, 1, WAV_ENCODING_INT16};
    uint64_t frames = 0;
    bool frames_given = false;
    std::vector<Tone> tones;
    std::vector<Setting> settings;
    double noise = 0.0;
    std::vector<double> noise_values; // channel-major, drawn once
};

// Small, repeatable noise in -1 .. 1.
struct Lcg {
    uint64_t state = 0x2545F4914F6CDD1Dull;
    double next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 4503599627370496.0 - 1.0;
    }
};

bool starts(const char *arg, const char *prefix, const char **rest) {
    const size_t n = std::strlen(prefix);
    if (std::strncmp(arg, prefix, n) != 0) return false;
    *rest = arg + n;
    return true;
}

bool parse_tone(const char *text, Tone *t) {
    char *end = nullptr;
    if (*text == '*') {
        t->channel = -1;
        end = const_cast<char *>(text + 1);
    } else {
        t->channel = std::strtol(text, &end, 10);
    }
    if (*end != ':') return false;
    t->freq_hz = std::strtod(end + 1, &end);
    if (*end != ':') return false;
    t->amplitude = std::strtod(end + 1, &end);
    t->phase = 0.0;
    if (*end == ':') t->phase = std::strtod(end + 1, &end);
    return *end == '\0';
}

bool parse(int argc, char **argv, Description *d) {
    static const struct {
        const char *name;
        uint32_t encoding;
    } encodings[] = {{"i16", WAV_ENCODING_INT16},
                     {"i24", WAV_ENCODING_INT24},
                     {"i32", WAV_ENCODING_INT32},
                     {"f32", WAV_ENCODING_FLOAT32},
                     {"f64", WAV_ENCODING_FLOAT64}};
    for (int i = 2; i < argc; ++i) {
        const char *a = argv[i];
        const char *v = nullptr;
        bool known = false;
        for (const auto &e : encodings)
            if (std::strcmp(a, e.name) == 0) {
                d->layout.encoding = e.encoding;
                known = true;
            }
        if (known) continue;
        if (starts(a, "rate=", &v)) {
            d->layout.sample_rate = static_cast<uint32_t>(std::strtoul(v, nullptr, 10));
        } else if (starts(a, "ch=", &v)) {
            d->layout.channels = static_cast<uint16_t>(std::strtoul(v, nullptr, 10));
        } else if (starts(a, "frames=", &v)) {
            d->frames = std::strtoull(v, nullptr, 10);
            d->frames_given = true;
        } else if (std::strcmp(a, "ext") == 0) {
            d->layout.extensible = true;
        } else if (starts(a, "ext=", &v)) {
            d->layout.extensible = true;
            d->layout.channel_mask = static_cast<uint32_t>(std::strtoul(v, nullptr, 0));
        } else if (starts(a, "tone=", &v)) {
            Tone t{};
            if (!parse_tone(v, &t)) return false;
            d->tones.push_back(t);
        } else if (starts(a, "noise=", &v)) {
            d->noise = std::strtod(v, nullptr);
        } else if (starts(a, "set=", &v)) {
            char *end = nullptr;
            Setting s{std::strtoull(v, &end, 10), 0.0};
            if (*end != ':') return false;
            s.value = std::strtod(end + 1, nullptr);
            d->settings.push_back(s);
        } else {
            std::fprintf(stderr, "wavgen: what is '%s'?\n", a);
            return false;
        }
    }
    if (!d->frames_given) d->frames = d->layout.sample_rate;
    if (d->noise != 0.0) {
        Lcg rng;
        d->noise_values.resize(d->frames * d->layout.channels);
        for (double &n : d->noise_values) n = rng.next();
    }
    return d->layout.channels > 0 && d->layout.sample_rate > 0;
}

double sample_at(const Description &d, uint64_t frame, uint32_t channel) {
    double v = 0.0;
    for (const Tone &t : d.tones)
        if (t.channel < 0 || static_cast<uint32_t>(t.channel) == channel)
            v += t.amplitude *
                 std::sin(6.283185307179586 * t.freq_hz * static_cast<double>(frame) / d.layout.sample_rate +
                          t.phase);
    if (!d.noise_values.empty()) v += d.noise * d.noise_values[channel * d.frames + frame];
    const uint64_t index = frame * d.layout.channels + channel;
    for (const Setting &s : d.settings)
        if (s.index == index) v = s.value;
    return v;
}

unsigned long long number(const char *text, char **end) { return std::strtoull(text, end, 0); }

// Appends one body part; false when it can't be read.
bool body_part(const std::string &part, Bytes *out) {
    const size_t colon = part.find(':');
    if (colon == std::string::npos) return false;
    const std::string kind = part.substr(0, colon);
    const std::string value = part.substr(colon + 1);
    if (kind == "t") {
        out->insert(out->end(), value.begin(), value.end());
        return true;
    }
    if (kind == "x") {
        if (value.size() % 2) return false;
        for (size_t i = 0; i < value.size(); i += 2)
            out->push_back(static_cast<unsigned char>(std::stoul(value.substr(i, 2), nullptr, 16)));
        return true;
    }
    if (kind == "z") {
        out->resize(out->size() + std::stoull(value), 0);
        return true;
    }
    std::vector<std::string> items;
    for (size_t at = 0; at <= value.size();) {
        size_t comma = value.find(',', at);
        if (comma == std::string::npos) comma = value.size();
        items.push_back(value.substr(at, comma - at));
        at = comma + 1;
    }
    if (kind == "fmt") {
        if (items.size() < 4 || items.size() > 7) return false;
        unsigned long long f[7] = {0, 0, 0, 0, 16, 1, 0};
        for (size_t i = 0; i < items.size(); ++i) f[i] = number(items[i].c_str(), nullptr);
        const Bytes b = fmt_fields(static_cast<uint32_t>(f[0]), static_cast<uint32_t>(f[1]),
                                   static_cast<uint32_t>(f[2]), static_cast<uint32_t>(f[3]),
                                   static_cast<size_t>(f[4]), static_cast<uint32_t>(f[5]),
                                   static_cast<uint32_t>(f[6]));
        out->insert(out->end(), b.begin(), b.end());
        return true;
    }
    const int width = kind == "i16" ? 2 : kind == "i24" ? 3 : kind == "i32" ? 4 : 0;
    for (const std::string &item : items) {
        if (width) {
            const long long v = std::stoll(item, nullptr, 0);
            for (int i = 0; i < width; ++i) out->push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
        } else if (kind == "f32") {
            put_sample(*out, WAV_ENCODING_FLOAT32, std::strtod(item.c_str(), nullptr));
        } else if (kind == "f64") {
            put_sample(*out, WAV_ENCODING_FLOAT64, std::strtod(item.c_str(), nullptr));
        } else {
            return false;
        }
    }
    return true;
}

bool body(const std::string &text, Bytes *out) {
    for (size_t at = 0; at <= text.size();) {
        size_t plus = text.find('+', at);
        if (plus == std::string::npos) plus = text.size();
        if (!body_part(text.substr(at, plus - at), out)) return false;
        at = plus + 1;
    }
    return true;
}

// The raw pieces of argv[3...], in order; false on a piece it can't read.
bool raw_file(int argc, char **argv, Bytes *file) {
    int first = 3;
    const bool wrap = argc > 3 && std::strcmp(argv[3], "riff") == 0;
    if (wrap) ++first;
    Bytes rest;
    for (int i = first; i < argc; ++i) {
        const std::string piece = argv[i];
        const size_t eq = piece.find('=');
        if (eq == std::string::npos) return false;
        Bytes b;
        if (!body(piece.substr(eq + 1), &b)) return false;
        if (piece.compare(0, eq, "bytes") == 0) {
            rest.insert(rest.end(), b.begin(), b.end());
            continue;
        }
        if (eq < 4) return false;
        std::string id = piece.substr(0, 4);
        for (char &c : id)
            if (c == '_') c = ' ';
        if (eq == 4) {
            const Bytes c = chunk(id.c_str(), b);
            rest.insert(rest.end(), c.begin(), c.end());
        } else {
            if (piece[4] != '/') return false;
            char *end = nullptr;
            const unsigned long long size = number(piece.c_str() + 5, &end);
            if (end != piece.c_str() + eq) return false;
            put_tag(rest, id.c_str());
            put_u32(rest, static_cast<uint32_t>(size));
            rest.insert(rest.end(), b.begin(), b.end());
        }
    }
    *file = wrap ? riff(rest) : rest;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 2 && std::strcmp(argv[2], "raw") == 0) {
        Bytes file;
        if (!raw_file(argc, argv, &file)) {
            std::fprintf(stderr, "wavgen: can't read the raw pieces\n");
            return 2;
        }
        if (!write_file(argv[1], file)) {
            std::fprintf(stderr, "wavgen: cannot write %s\n", argv[1]);
            return 1;
        }
        return 0;
    }
    Description d;
    if (argc < 2 || !parse(argc, argv, &d)) {
        std::fprintf(stderr, "usage: wavgen FILE [i16|i24|i32|f32|f64] [rate=R] [ch=C] [frames=F] "
                             "[ext[=MASK]] [tone=CH:FREQ:AMP[:PHASE]]... [set=INDEX:VALUE]...\n");
        return 2;
    }
    const uint64_t width = (d.layout.encoding & 0xFFu) / 8u;
    const uint64_t data_bytes = d.frames * d.layout.channels * width;
    const Bytes fmt = chunk("fmt ", fmt_body(d.layout));
    Bytes head;
    put_tag(head, "RIFF");
    put_u32(head, static_cast<uint32_t>(4 + fmt.size() + 8 + data_bytes + data_bytes % 2));
    put_tag(head, "WAVE");
    head.insert(head.end(), fmt.begin(), fmt.end());
    put_tag(head, "data");
    put_u32(head, static_cast<uint32_t>(data_bytes));

    FILE *f = std::fopen(argv[1], "wb");
    if (!f) {
        std::fprintf(stderr, "wavgen: cannot write %s\n", argv[1]);
        return 1;
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
    Bytes block;
    for (uint64_t frame = 0; ok && frame < d.frames; ++frame) {
        for (uint32_t c = 0; c < d.layout.channels; ++c)
            put_sample(block, d.layout.encoding, sample_at(d, frame, c));
        if (block.size() >= (1u << 16) || frame + 1 == d.frames) {
            ok = std::fwrite(block.data(), 1, block.size(), f) == block.size();
            block.clear();
        }
    }
    if (ok && data_bytes % 2) ok = std::fputc(0, f) == 0;
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "wavgen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
