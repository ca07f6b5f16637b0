// Fuzzes the reader and a whole run on the input bytes but the last four as
// a WAV file: a load keeps its promises (a supported encoding, non-zero rate
// and channels, every frame readable and finite) and agrees with the
// harness's own walk; the query the last four bytes choose answers the same
// by path and through a pipe (name and time aside) unless a stream's own
// rule applies. A crash, leak, difference or sanitizer report is the failure.
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>

#include "cli/cli.hpp"
#include "wav/wav.hpp"

namespace {

std::string g_dir;

uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// The last format and data chunk headers, whether that data is cut short,
// and how many data chunks there are.
struct Walk {
    uint64_t fmt = 0, data = 0, datas = 0;
    bool cut = false;
};
Walk walk(const uint8_t *p, size_t n) {
    Walk w;
    for (uint64_t at = 12; at + 8 <= n;) {
        const uint32_t size = le32(p + at + 4);
        const bool data = std::memcmp(p + at, "data", 4) == 0;
        if (data || std::memcmp(p + at, "fmt ", 4) == 0) {
            (data ? w.data : w.fmt) = at;
            w.datas += data;
            w.cut = data && size > n - at - 8;
            at += 8 + uint64_t{size} + size % 2;
        } else {
            at += 8 + uint64_t{(size + 1u) & ~1u}; // padded in 32 bits, as the size field is
        }
    }
    return w;
}

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// One run's status, output and error (the input named IN), and its page from
// the signal line on (the lines before name the input) without its time.
// The scan's answer has no page and its CSV rows lose their time and sample.
std::string answer(const std::string &query, const std::string &input, bool scan = false) {
    const std::string out = g_dir + "/out", html = g_dir + "/out.html";
    std::string line = (scan ? "tonesift-scan --input " + input
                             : "tonesift --input " + input + " --html " + html) +
                       query;
    char *argv[16];
    int argc = 0;
    for (char *p = std::strtok(line.data(), " "); p && argc < 16; p = std::strtok(nullptr, " "))
        argv[argc++] = p;
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved[2] = {dup(1), dup(2)}, file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 1);
    dup2(file, 2);
    close(file);
    const int status = (scan ? tonesift_scan_main : tonesift_main)(argc, argv);
    std::fflush(stdout);
    std::fflush(stderr);
    for (int fd = 1; fd <= 2; ++fd) saved[fd - 1] >= 0 ? dup2(saved[fd - 1], fd) : close(fd);
    for (int fd : saved) close(fd);
    if (status != 0 && status != 1) std::abort();
    std::string text = std::to_string(status) + slurp(out), page = slurp(html);
    for (size_t at = 0; (at = text.find(input, at)) != std::string::npos;)
        text.replace(at, input.size(), "IN");
    unlink(html.c_str());
    page.erase(0, page.find("<div class=\"signal-meta\">"));
    if (const size_t t = page.find("report generated"); t != std::string::npos) page.erase(t, 40);
    if (scan) {
        if (const size_t n = text.find("note: "); n != std::string::npos)
            text.erase(n, text.find('\n', n) + 1 - n);
        if (const size_t h = text.find("time_s,sample,"); h != std::string::npos) text.erase(h, 14);
        for (size_t at = 0; (at = text.find("\n", at)) != std::string::npos && ++at < text.size();)
            if (std::isdigit(static_cast<unsigned char>(text[at])))
                text.erase(at, text.find(',', text.find(',', at) + 1) + 1 - at);
        page.clear();
    }
    return text + page;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static char dir[] = "/dev/shm/tonesift-fuzz-XXXXXX";
    if (g_dir.empty()) {
        if (!mkdtemp(dir)) std::abort();
        g_dir = dir;
        std::signal(SIGPIPE, SIG_IGN); // the writer learns that the reader stopped
        // The fuzzer's timeout alarm would cut a blocked pipe read or write
        // short (EINTR), so that a stream seemed to end early: restart them.
        struct sigaction alarm;
        if (sigaction(SIGALRM, nullptr, &alarm) == 0) {
            alarm.sa_flags |= SA_RESTART;
            sigaction(SIGALRM, &alarm, nullptr);
        }
    }
    if (size < 4) return 0;
    // The last four bytes choose the query; the rest is the file.
    const uint8_t *tail = data + size - 4;
    size -= 4;
    const std::string in = g_dir + "/in.wav";
    FILE *f = std::fopen(in.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
    WavData wav;
    const Walk w = walk(data, size);
    double rate = 1.0; // for the scan's time of the query's sample
    if (wav_load(in.c_str(), &wav)) {
        rate = wav.sample_rate;
        const uint8_t *fmt = data + w.fmt + 8;
        bool ok = wav.channels == (fmt[2] | fmt[3] << 8) && wav.sample_rate == le32(fmt + 4) &&
                  wav.frames * wav.channels * (fmt[14] / 8u) == le32(data + w.data + 4) &&
                  wav.sample_rate != 0 && wav.channels != 0 && wav.extra_chunks_len == 0 &&
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
    static const char *formats[] = {" --json", " --csv", "", ""};
    const int sample = (tail[0] | tail[1] << 8) * (tail[2] & 0x0F);
    const std::string options = std::string(" --window-samples ") + windows[tail[3] % 6] + " --channel " +
                                std::to_string(static_cast<int>(tail[3] % 10) - 1) + " --top 64";
    const std::string query = " --at-sample " + std::to_string(sample) + options +
                              formats[(tail[2] >> 4) & 3];
    // A pipe that a second thread writes.
    const auto piped = [&](const std::string &q, bool scan) {
        int fds[2];
        if (pipe(fds) != 0) std::abort();
        std::thread writer([&] {
            ssize_t n = 0;
            for (size_t done = 0; done < size && (n = write(fds[1], data + done, size - done)) > 0;)
                done += static_cast<size_t>(n);
            close(fds[1]);
        });
        const std::string got = answer(q, "/dev/fd/" + std::to_string(fds[0]), scan);
        close(fds[0]); // a writer still blocked learns that nobody reads
        writer.join();
        return got;
    };
    const bool alike = w.fmt <= w.data && !w.cut;
    if (alike && answer(query, in) != piped(query, false)) std::abort();
    // The scan at the same point: tonesift's CSV rows, by path, and through a
    // pipe where the stream's rules do not apply and nothing fails later (a
    // second data chunk comes after the rows of the first).
    char at[40];
    std::snprintf(at, sizeof at, " --at %.17g", sample / rate);
    const std::string rows = answer(" --at-sample " + std::to_string(sample) + options + " --csv", in);
    const std::string scanned = answer(at + options + " --csv", in, true);
    std::string want = rows.substr(0, rows.find("<div"));
    if (const size_t at = want.find("wrote "); at != std::string::npos)
        want.erase(at, want.find('\n', at) + 1 - at);
    // Where tonesift refuses, the scan refuses too, saying more of why.
    if (want[0] == '0' ? scanned != want : scanned[0] != '1') std::abort();
    if (alike && w.datas == 1 && rows[0] == '0' && piped(at + options + " --csv", true) != scanned)
        std::abort();
    return 0;
}
