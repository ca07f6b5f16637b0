// Writes a long test recording for benchmarks: a few sines on every channel.
//   make_signal OUT.wav SECONDS RATE CHANNELS ENCODING(16|24|32|288|320)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/wav_writer.hpp"

int main(int argc, char **argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: make_signal OUT.wav SECONDS RATE CHANNELS ENCODING\n");
        return 1;
    }
    double seconds = std::atof(argv[2]);
    auto rate = static_cast<uint32_t>(std::atol(argv[3]));
    auto channels = static_cast<uint16_t>(std::atoi(argv[4]));
    auto encoding = static_cast<uint32_t>(std::atoi(argv[5]));
    auto frames = static_cast<uint64_t>(seconds * rate);
    WavSpec layout{rate, channels, encoding};

    Bytes body;
    body.reserve(frames * channels * ((encoding & 0xFF ? encoding : encoding - 256) / 8));
    for (uint64_t f = 0; f < frames; ++f)
        for (uint16_t c = 0; c < channels; ++c) {
            double t = static_cast<double>(f) / rate;
            double v = 0.4 * std::sin(6.283185307179586 * (440.0 * (c + 1)) * t) +
                       0.1 * std::sin(6.283185307179586 * 3000.0 * t);
            put_sample(body, encoding, v);
        }
    Bytes chunks = chunk("fmt ", fmt_body(layout));
    Bytes data = chunk("data", body);
    chunks.insert(chunks.end(), data.begin(), data.end());
    if (!write_file(argv[1], riff(chunks))) {
        std::fprintf(stderr, "make_signal: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
