// The built binary on generated files: the documented worked examples through
// the whole pipeline, query-point resolution, channel selection, window sizes.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <string>
#include <vector>

#include "support/documented_outputs.hpp"
#include "support/run_process.hpp"
#include "support/wav_writer.hpp"

namespace {

// The documented two-tone example file, named in.wav inside the scratch dir.
const std::string &example_file() {
    static const std::string path = [] {
        const uint32_t rate = 48000;
        std::vector<double> ch0 = add(sine(rate, 2 * rate, 1000, 0.5), sine(rate, 2 * rate, 1100, 0.25));
        return write_temp("in.wav", make_wav(WavSpec{rate, 2, WAV_ENCODING_FLOAT64}, interleave({ch0, silence(2 * rate)})));
    }();
    return path;
}

const std::string &stereo44() {
    static const std::string path = write_temp(
        "s44.wav", make_wav(WavSpec{44100, 2, WAV_ENCODING_INT16}, interleave({sine(44100, 88200, 440, 0.5), silence(88200)})));
    return path;
}

const std::string &ten_channels() {
    static const std::string path = [] {
        std::vector<std::vector<double>> ch;
        for (int c = 0; c < 10; ++c) ch.push_back(sine(8000, 8000, 250.0 * (c + 1), 0.5));
        return write_temp("ten.wav", make_wav(WavSpec{8000, 10, WAV_ENCODING_INT24}, interleave(ch)));
    }();
    return path;
}

ProcessResult in_scratch(std::vector<std::string> extra, const std::vector<std::string> &env = {}) {
    example_file();
    std::vector<std::string> args{"--input", "in.wav", "--at", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_tonesift_in(temp_dir(), args, env);
}

const char *const EXAMPLE_TEXT = "\n"
                                 "query time     1.000s (sample 48,000 @ 48000Hz)\n"
                                 "window         4096 samples (85.3ms, resolution 11.7Hz/bin)\n"
                                 "\n"
                                 "channel 0:\n"
                                 "  dominant peak  1000.0 Hz  @  -6.0 dB\n"
                                 "\n"
                                 "  top 2 peaks:\n"
                                 "    1.  1000.0 Hz    -6.0 dB\n"
                                 "    2.  1100.0 Hz    -12.1 dB\n"
                                 "\n"
                                 "channel 1:\n"
                                 "  no peaks above the noise floor in this window\n"
                                 "\n";
const std::string CSV_HEADER = "channel,rank,frequency_hz,level_db\n";
const std::string CSV_1000 = "0,1,999.9992,-6.0235\n";
const std::string CSV_1100 = "0,2,1099.9956,-12.0503\n";

TEST(QueryExample, JsonDocumentByteForByte) {
    ProcessResult p = in_scratch({"--json"});
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.err, "");
    EXPECT_EQ(p.out, JSON_EXAMPLE);
}

TEST(QueryExample, TextAndCsvOfTheSameQuery) {
    struct Row {
        std::vector<std::string> extra;
        std::string out;
    };
    const std::string text = EXAMPLE_TEXT;
    const Row rows[] = {
        {{}, text},
        {{"--channel", "-7", "--top", "65", "--top", "5"}, text},
        {{"--channel", "0"}, text.substr(0, text.find("channel 1:"))},
        {{"--channel", "1"}, text.substr(0, text.find("channel 0:")) + text.substr(text.find("channel 1:"))},
        {{"--csv"}, CSV_HEADER + CSV_1000 + CSV_1100},
        {{"--csv", "--csv", "--min-separation-hz", "99"}, CSV_HEADER + CSV_1000 + CSV_1100},
        {{"--csv", "--min-separation-hz", "100"}, CSV_HEADER + CSV_1000},
        {{"--csv", "--min-separation-hz", "-5"}, CSV_HEADER + CSV_1000 + CSV_1100},
        {{"--csv", "--noise-floor-db", "-10"}, CSV_HEADER + CSV_1000},
        {{"--csv", "--noise-floor-db", "0"}, CSV_HEADER},
        {{"--csv", "--top", "1"}, CSV_HEADER + CSV_1000},
        {{"--csv", "--channel", "1"}, CSV_HEADER},
    };
    for (const auto &r : rows) {
        std::string cmd;
        for (const auto &a : r.extra) cmd += " " + a;
        ProcessResult p = in_scratch(r.extra);
        EXPECT_EQ(p.status, 0) << cmd;
        EXPECT_EQ(p.err, "") << cmd;
        EXPECT_EQ(p.out, r.out) << cmd;
    }
}

TEST(QueryExample, JsonWithOneRequestedChannel) {
    const std::string doc = JSON_EXAMPLE;
    const std::string ch1 =
        doc.substr(0, doc.find("        {\n")) + doc.substr(doc.find("        {\n            \"channel\": 1"));
    ProcessResult p = in_scratch({"--json", "--json", "--channel", "1"});
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.out, ch1);
}

// The first locale on this system whose decimal separator is a comma.
std::string comma_locale() {
    FILE *f = popen("locale -a 2>/dev/null", "r");
    if (!f) return "";
    char line[256];
    std::string found;
    while (found.empty() && std::fgets(line, sizeof line, f)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        locale_t loc = newlocale(LC_ALL_MASK, line, static_cast<locale_t>(0));
        if (!loc) continue;
        if (std::strcmp(nl_langinfo_l(RADIXCHAR, loc), ",") == 0) found = line;
        freelocale(loc);
    }
    pclose(f);
    return found;
}

TEST(QueryExample, CommaDecimalLocaleChangesNothing) {
    const std::string loc = comma_locale();
    if (loc.empty()) GTEST_SKIP() << "no comma-decimal locale installed";
    const std::vector<std::string> env{"LC_ALL=" + loc, "LANG=" + loc, "LC_NUMERIC=" + loc};
    EXPECT_EQ(in_scratch({"--json"}, env).out, JSON_EXAMPLE);
    EXPECT_EQ(in_scratch({}, env).out, EXAMPLE_TEXT);
    EXPECT_EQ(in_scratch({"--csv", "--min-separation-hz", "99,999"}, env).out, CSV_HEADER + CSV_1000 + CSV_1100);
}

// Pulls the "%s"-formatted value of a JSON member line out of a document.
std::string member(const std::string &doc, const std::string &key) {
    size_t at = doc.find("\"" + key + "\": ");
    if (at == std::string::npos) return "<missing>";
    at += key.size() + 4;
    return doc.substr(at, doc.find_first_of(",\n", at) - at);
}

std::string fmt(const char *f, double v) {
    char b[64];
    std::snprintf(b, sizeof b, f, v);
    return b;
}

TEST(QueryPoint, ResolutionOfTimesAndSamples) {
    const std::string A = stereo44();
    struct Row {
        std::vector<std::string> query;
        std::string time6, sample, header;
    };
    const Row rows[] = {
        {{"--at", "1.5"}, "1.500000", "66150", "query time     1.500s (sample 66,150 @ 44100Hz)\n"},
        {{"--at", "-0.00001"}, "-0.000010", "0", "query time     -0.000s (sample 0 @ 44100Hz)\n"},
        {{"--at", "--help"}, "0.000000", "0", "query time     0.000s (sample 0 @ 44100Hz)\n"},
        {{"--at", " 0.02267573"}, "0.022676", "1000", "query time     0.023s (sample 1,000 @ 44100Hz)\n"},
        {{"--at", "1.99998"}, "1.999980", "88199", "query time     2.000s (sample 88,199 @ 44100Hz)\n"},
        {{"--at-sample", "88199"}, fmt("%.6f", 88199 / 44100.0), "88199", "query time     2.000s (sample 88,199 @ 44100Hz)\n"},
        {{"--at-sample", "7", "--at-sample", "0"}, "0.000000", "0", "query time     0.000s (sample 0 @ 44100Hz)\n"},
    };
    for (const auto &r : rows) {
        std::vector<std::string> args{"--input", A};
        args.insert(args.end(), r.query.begin(), r.query.end());
        SCOPED_TRACE(r.query[0] + " '" + r.query[1] + "'");
        ProcessResult text = run_tonesift(args);
        EXPECT_EQ(text.status, 0);
        EXPECT_EQ(text.out.substr(0, r.header.size() + 1), "\n" + r.header);
        EXPECT_NE(text.out.find("window         4096 samples (92.9ms, resolution 10.8Hz/bin)\n\nchannel 0:\n"),
                  std::string::npos);
        args.push_back("--json");
        ProcessResult json = run_tonesift(args);
        EXPECT_EQ(member(json.out, "query_time_s"), r.time6);
        EXPECT_EQ(member(json.out, "query_sample"), r.sample);
        EXPECT_EQ(member(json.out, "input_file"), "\"" + A + "\"");
    }
}

TEST(Channels, AtMostEightUnlessOneIsRequested) {
    const std::string T = ten_channels();
    ProcessResult all = run_tonesift({"--input", T, "--at", "0.5", "--json"});
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(member(all.out, "channels"), "10");
    std::string order;
    for (size_t p = all.out.find("\"channel\": "); p != std::string::npos; p = all.out.find("\"channel\": ", p + 1))
        order += all.out.substr(p + 11, all.out.find(',', p) - p - 11) + " ";
    EXPECT_EQ(order, "0 1 2 3 4 5 6 7 ");

    ProcessResult nine = run_tonesift({"--input", T, "--at", "0.5", "--csv", "--channel", "9"});
    EXPECT_EQ(nine.status, 0);
    ASSERT_EQ(nine.out.substr(0, CSV_HEADER.size() + 4), CSV_HEADER + "9,1,");
    EXPECT_NEAR(std::stod(nine.out.substr(CSV_HEADER.size() + 4)), 2500.0, 0.01);
    EXPECT_EQ(nine.out.find("\n8,"), std::string::npos);

    ProcessResult text = run_tonesift({"--input", T, "--at", "0.5", "--channel", "9"});
    EXPECT_EQ(text.out.find("channel 0:"), std::string::npos);
    EXPECT_NE(text.out.find("\nchannel 9:\n  dominant peak  2500.0 Hz  @  -6.0 dB\n"), std::string::npos);
}

TEST(WindowSizes, EachSizeResolvesABinCentredTone) {
    const uint32_t rate = 44100;
    const uint64_t sizes[] = {1024, 2048, 4096, 8192, 16384, 32768};
    const WavSpec specs[] = {{rate, 1, WAV_ENCODING_INT16},   {rate, 1, WAV_ENCODING_INT24},
                             {rate, 1, WAV_ENCODING_INT32},   {rate, 1, WAV_ENCODING_FLOAT32},
                             {rate, 1, WAV_ENCODING_FLOAT64}, {rate, 1, WAV_ENCODING_INT24, true, 4}};
    for (size_t i = 0; i < 6; ++i) {
        const uint64_t n = sizes[i];
        const double res = rate / static_cast<double>(n);
        const double freq = 100 * res;
        SCOPED_TRACE(n);
        std::string path = write_temp("win" + std::to_string(n) + ".wav", make_wav(specs[i], sine(rate, 3 * rate, freq, 0.5)));
        ProcessResult p = run_tonesift({"--input", path, "--at-sample", "66150", "--window-samples", std::to_string(n), "--json"});
        ASSERT_EQ(p.status, 0) << p.err;
        EXPECT_EQ(member(p.out, "window_samples"), std::to_string(n));
        EXPECT_EQ(member(p.out, "window_duration_ms"), fmt("%.6f", static_cast<double>(n) * 1000.0 / rate));
        EXPECT_EQ(member(p.out, "resolution_hz"), fmt("%.6f", res));
        EXPECT_EQ(member(p.out, "min_separation_hz"), fmt("%.6f", 4 * res));
        double f = 0, l = 0;
        size_t at = p.out.find("\"dominant_peak\": { \"frequency_hz\": ");
        ASSERT_NE(at, std::string::npos);
        ASSERT_EQ(std::sscanf(p.out.c_str() + at, "\"dominant_peak\": { \"frequency_hz\": %lf, \"level_db\": %lf", &f, &l), 2);
        EXPECT_NEAR(f, freq, 0.002 * res);
        // A bin-centred tone reads its amplitude less the window's loss: its
        // weights sum to about n/2 - 1/2 rather than n/2.
        EXPECT_NEAR(l, 20.0 * std::log10(0.5 * (1.0 - 1.0 / static_cast<double>(n))), 0.002);
    }
}

} // namespace
