// Writes the shipped example recordings into the given folder. The output is
// deterministic: the noise comes from a fixed-seed generator.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/wav_writer.hpp"

namespace {

struct Partial {
    double freq_hz;
    double amplitude;
};

// Small, repeatable noise in -1 .. 1.
struct Lcg {
    uint64_t state = 0x2545F4914F6CDD1Dull;
    double next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 4503599627370496.0 - 1.0;
    }
};

std::vector<double> render(uint32_t rate, uint64_t frames, const std::vector<Partial> &partials,
                           double noise, Lcg &rng) {
    std::vector<double> x(frames, 0.0);
    for (const Partial &p : partials) x = add(x, sine(rate, frames, p.freq_hz, p.amplitude));
    for (double &v : x) v += noise * rng.next();
    return x;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_examples <folder>\n");
        return 1;
    }
    std::string dir = argv[1];
    const uint32_t rate = 48000;
    const uint64_t frames = 2 * rate;
    Lcg rng;

    // An A major triad with a few harmonics each, a little noise, 24-bit stereo.
    std::vector<Partial> left = {{220.0, 0.30},   {440.0, 0.12},
                                 {277.18, 0.20},  {554.37, 0.07},  {329.63, 0.16},
                                 {659.26, 0.04},  {987.77, 0.02}};
    std::vector<Partial> right = {{220.0, 0.18},  {440.0, 0.08},   {277.18, 0.26},
                                  {554.37, 0.09}, {329.63, 0.22},  {659.26, 0.06},
                                  {1318.51, 0.015}};
    WavSpec layout{rate, 2, WAV_ENCODING_INT24};
    auto l = render(rate, frames, left, 3e-4, rng);
    auto r = render(rate, frames, right, 3e-4, rng);
    bool ok = write_file(dir + "/chord.wav", make_wav(layout, interleave({l, r})));

    // One tone exactly halfway between two bins of the default window
    // (85.5 x 48000 / 4096 Hz): its bins read about 1.4 dB low, the
    // interpolated peak reads its true level. Mono 16-bit.
    WavSpec mono{rate, 1, WAV_ENCODING_INT16};
    ok = ok && write_file(dir + "/between_bins.wav",
                          make_wav(mono, sine(rate, rate, 85.5 * 48000.0 / 4096.0, 0.5)));

    // Four channels of 32-bit float in an extensible format chunk, each with
    // its own tone an octave apart, one second long.
    WavSpec quad{rate, 4, WAV_ENCODING_FLOAT32, true, 0x33};
    std::vector<std::vector<double>> chans;
    for (int c = 0; c < 4; ++c) chans.push_back(sine(rate, rate, 250.0 * (1 << c), 0.4 / (c + 1)));
    ok = ok && write_file(dir + "/quad.wav", make_wav(quad, interleave(chans)));

    if (!ok) {
        std::fprintf(stderr, "make_examples: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
