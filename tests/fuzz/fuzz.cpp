// Fuzzes the reader and a whole run: the input bytes but the last four
// become a WAV file. A load must keep what it promises (a supported encoding,
// non-zero rate and channels, every frame readable and finite); then the
// file is queried at a point and with options taken from the last four
// bytes, through every writer and the HTML report. Run it with
// -close_fd_mask=3 to keep the program's own output quiet; a crash, leak or
// sanitizer report is the failure.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "cli/cli.hpp"
#include "wav/wav.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static char dir[] = "/dev/shm/tonesift-fuzz-XXXXXX";
    static const std::string g_dir = mkdtemp(dir) ? dir : (std::abort(), "");
    if (size < 4) return 0;
    // The last four bytes choose the query; the rest is the file.
    const uint8_t *tail = data + size - 4;
    size -= 4;
    const std::string in = g_dir + "/in.wav", html = g_dir + "/out.html";
    FILE *f = std::fopen(in.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
    WavData wav;
    if (wav_load(in.c_str(), &wav)) {
        bool ok = wav.sample_rate != 0 && wav.channels != 0 && wav.extra_chunks_len == 0 &&
                  (wav.encoding == WAV_ENCODING_INT16 || wav.encoding == WAV_ENCODING_INT24 ||
                   wav.encoding == WAV_ENCODING_INT32 || wav.encoding == WAV_ENCODING_FLOAT32 ||
                   wav.encoding == WAV_ENCODING_FLOAT64);
        double slice[256];
        for (uint32_t c = 0; ok && c < wav.channels && c < 4; ++c)
            for (uint64_t frame = 0; ok && frame < wav.frames; frame += 256) {
                ok = wav_read_channel(&wav, c, static_cast<int64_t>(frame), 256, slice);
                for (int i = 0; ok && i < 256; ++i) ok = std::isfinite(slice[i]);
            }
        if (!ok) std::abort();
        wav_free(&wav);
    }

    static const char *windows[] = {"1024", "2048", "4096", "8192", "16384", "32768"};
    static const char *formats[] = {"--json", "--csv", "--top", "--top"};
    std::string at = std::to_string((tail[0] | tail[1] << 8) * (tail[2] & 0x0F));
    std::string channel = std::to_string(static_cast<int>(tail[3] % 10) - 1);
    const char *fmt = formats[(tail[2] >> 4) & 3];
    std::string line = "tonesift --input " + in + " --at-sample " + at + " --window-samples " +
                       windows[tail[3] % 6] + " --channel " + channel + " --html " + html + " " + fmt + " 64";
    char *argv[13];
    int argc = 0;
    for (char *p = std::strtok(line.data(), " "); p && argc < 13; p = std::strtok(nullptr, " "))
        argv[argc++] = p;
    const int status = tonesift_main(fmt[2] == 't' ? 13 : 12, argv);
    if (status != 0 && status != 1) std::abort();
    unlink(html.c_str());
    return 0;
}
