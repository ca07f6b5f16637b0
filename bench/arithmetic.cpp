// The arithmetic of a scan alone: POINTS points of a stereo recording of
// silence (or with a third argument, `noise`, of uniform noise), each channel's spectrum and peaks as the scan computes them, from
// frames already in memory (no file, no conversion, no output). Prints the
// milliseconds taken.
//   arithmetic POINTS WINDOW [noise]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "analysis/analysis.hpp"

int main(int argc, char **argv) {
    const uint64_t points = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 60000;
    const uint64_t n = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 4096;
    const uint64_t frames = 48000 + n, hop = 480;
    WavData wav{};
    wav.sample_rate = 48000;
    wav.channels = 2;
    wav.frames = frames;
    wav.from_pipe = true;
    wav.kept = static_cast<double *>(std::calloc(2 * frames, sizeof(double)));
    wav.kept_span = WavSpan{0, frames, 0, 2};
    if (wav.kept && argc > 3) {
        uint64_t x = 88172645463325252u; // xorshift: the same noise every run
        for (uint64_t i = 0; i < 2 * frames; ++i) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            wav.kept[i] = static_cast<double>(x >> 11) * 0x1p-53 - 0.5;
        }
    }
    SpectrumWork work;
    if (!wav.kept || !spectrum_work_init(&work, n)) return 1;
    ChannelResult result;
    uint64_t found = 0;
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t k = 0; k < points; ++k) {
        const auto sample = static_cast<uint32_t>(n / 2 + k * hop % (frames - n));
        const QueryWindow window = make_query_window(wav.sample_rate, sample, n, 0.0, -80.0);
        for (uint32_t c = 0; c < 2; ++c) {
            const int64_t got = analyze_channel(&work, wav, c, window, 5, result.top_peaks, MAX_TOP_PEAKS,
                                                nullptr, nullptr);
            if (got < 0) return 1;
            found += static_cast<uint64_t>(got);
        }
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%.1f\n", took.count());
    std::free(wav.kept);
    return found == UINT64_MAX; // keeps the peaks' count alive
}
