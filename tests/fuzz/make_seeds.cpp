// Writes the fuzzing seed corpus: small valid files of every encoding and
// layout, and malformed ones, each followed by four query bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "support/wav_writer.hpp"

namespace {

Bytes with_query(Bytes b, unsigned char a, unsigned char c, unsigned char d, unsigned char e) {
    b.push_back(a);
    b.push_back(c);
    b.push_back(d);
    b.push_back(e);
    return b;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <folder>\n");
        return 1;
    }
    std::string dir = argv[1];
    std::vector<Bytes> seeds;
    const uint32_t encodings[] = {WAV_ENCODING_INT16, WAV_ENCODING_INT24, WAV_ENCODING_INT32,
                                  WAV_ENCODING_FLOAT32, WAV_ENCODING_FLOAT64};
    for (uint32_t enc : encodings) {
        for (uint16_t ch : {uint16_t{1}, uint16_t{2}, uint16_t{3}}) {
            WavSpec s{8000, ch, enc};
            s.extensible = ch == 3;
            std::vector<std::vector<double>> chans;
            for (uint16_t c = 0; c < ch; ++c) chans.push_back(sine(8000, 1200, 500.0 * (c + 1), 0.5));
            seeds.push_back(make_wav(s, interleave(chans)));
        }
    }
    WavSpec mono{8000, 1, WAV_ENCODING_INT16};
    Bytes fmt = chunk("fmt ", fmt_body(mono));
    Bytes data = chunk("data", data_body(mono, sine(8000, 64, 1000.0, 0.5)));
    Bytes odd = chunk("LIST", Bytes{'a', 'b', 'c'});
    // fmt after data, an odd extra chunk, a second data chunk, a truncated data chunk.
    seeds.push_back(riff([&] { Bytes b = data; b.insert(b.end(), fmt.begin(), fmt.end()); return b; }()));
    seeds.push_back(riff([&] { Bytes b = fmt; b.insert(b.end(), odd.begin(), odd.end()); b.insert(b.end(), data.begin(), data.end()); return b; }()));
    seeds.push_back(riff([&] { Bytes b = fmt; b.insert(b.end(), data.begin(), data.end()); b.insert(b.end(), data.begin(), data.end()); return b; }()));
    seeds.push_back(riff([&] { Bytes b = fmt; b.insert(b.end(), data.begin(), data.begin() + 20); return b; }()));
    // NaN in float data.
    WavSpec fl{8000, 2, WAV_ENCODING_FLOAT32};
    std::vector<double> nan_data(64, 0.25);
    nan_data[7] = 0.0 / 0.0 * 0.0;
    seeds.push_back(make_wav(fl, nan_data));
    seeds.push_back(Bytes{'R', 'I', 'F', 'F'});

    int n = 0;
    for (const Bytes &s : seeds) {
        unsigned char q = static_cast<unsigned char>(n * 37);
        Bytes b = with_query(s, q, 1, static_cast<unsigned char>(0x21 + n), static_cast<unsigned char>(n));
        char name[64];
        std::snprintf(name, sizeof name, "/seed-%02d.wav", n++);
        if (!write_file(dir + name, b)) return 1;
    }
    return 0;
}
