// Writes a well-formed WAV file from a short description, for the test tables
// and the benchmarks:
//
//   wavgen FILE [i16|i24|i32|f32|f64] [rate=R] [ch=C] [frames=F] [ext[=MASK]]
//          [tone=CH:FREQ:AMP[:PHASE]]... [set=INDEX:VALUE]...
//
// Defaults: i16, 48000 Hz, one channel, one second. Every channel is silent
// but for its tones, which add up in the order given; CH is a channel index
// or * for every channel; PHASE is in radians. `set` then overwrites one
// interleaved sample (strtod text, so nan and inf work for float files).
// The samples are streamed, so a ten-minute recording costs no memory.
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
    WavSpec layout{48000, 1, WAV_ENCODING_INT16};
    uint64_t frames = 0;
    bool frames_given = false;
    std::vector<Tone> tones;
    std::vector<Setting> settings;
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
    return d->layout.channels > 0 && d->layout.sample_rate > 0;
}

double sample_at(const Description &d, uint64_t frame, uint32_t channel) {
    double v = 0.0;
    for (const Tone &t : d.tones)
        if (t.channel < 0 || static_cast<uint32_t>(t.channel) == channel)
            v += t.amplitude * std::sin(6.283185307179586 * t.freq_hz * static_cast<double>(frame) /
                                            d.layout.sample_rate +
                                        t.phase);
    const uint64_t index = frame * d.layout.channels + channel;
    for (const Setting &s : d.settings)
        if (s.index == index) v = s.value;
    return v;
}

} // namespace

int main(int argc, char **argv) {
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
        for (uint32_t c = 0; c < d.layout.channels; ++c) put_sample(block, d.layout.encoding, sample_at(d, frame, c));
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
