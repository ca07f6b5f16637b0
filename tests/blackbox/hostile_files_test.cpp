// The built binary on unusual RIFF/WAVE layouts and on input and
// report paths full of markup, quotes, control bytes, invalid UTF-8 and length.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/documented_outputs.hpp"
#include "support/run_process.hpp"
#include "support/wav_writer.hpp"

namespace {

const std::string GENERIC = GENERIC_REASON;

// Channel 0 swells while a second tone holds, channel 1 holds a third tone.
std::vector<double> two_channels(uint64_t frames) {
    std::vector<double> a = sine(8000, frames, 1000, 1.0, 0.3), b = sine(8000, frames, 1530, 0.2);
    for (uint64_t i = 0; i < frames; ++i)
        a[i] = a[i] * 0.6 * static_cast<double>(i) / static_cast<double>(frames) + b[i];
    return interleave({a, sine(8000, frames, 2210, 0.4)});
}

std::string replaced(std::string s, const std::string &from, const std::string &to) {
    size_t at = s.find(from);
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

// The widest frame a file can declare, through the whole program: one burst in
// channel 0 of 65535 must print what the same burst alone prints. The reader's
// unit tests check every other unusual layout sample by sample.
TEST(HostileFiles, SixtyFiveThousandChannelsPrintWhatOneChannelPrints) {
    std::vector<double> wide(65535u * 32u, 0.0), burst = sine(8000, 32, 1000, 0.5);
    for (size_t f = 0; f < burst.size(); ++f) wide[f * 65535] = burst[f];
    const std::string path = write_temp("hostile_wide.wav", make_wav(WavSpec{8000, 65535, WAV_ENCODING_INT16}, wide));
    const std::string ref = write_temp("hostile_wide_ref.wav", make_wav(WavSpec{8000, 1, WAV_ENCODING_INT16}, burst));
    for (const bool csv : {false, true}) {
        auto run = [&](const std::string &in) {
            std::vector<std::string> args{"--input", in, "--at-sample", "16", "--window-samples", "1024", "--channel", "0"};
            if (csv) args.push_back("--csv");
            return run_tonesift(args);
        };
        const ProcessResult want = run(ref), got = run(path);
        ASSERT_EQ(want.status, 0) << want.err;
        EXPECT_NE(want.out.find(csv ? "\n0,1," : "dominant peak"), std::string::npos) << want.out;
        EXPECT_EQ(got.status, 0);
        EXPECT_EQ(got.err, "");
        EXPECT_EQ(got.out, want.out);
    }
    const ProcessResult p = run_tonesift({"--input", path, "--at-sample", "16", "--channel", "65535"});
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(p.err, "error: --channel 65535 is out of range ('" + path + "' has 65535 channels)\n");
}

// Creates the directories on the way to `rel` below `base`.
void make_parents(const std::string &base, const std::string &rel) {
    for (size_t at = rel.find('/'); at != std::string::npos; at = rel.find('/', at + 1))
        mkdir((base + "/" + rel.substr(0, at)).c_str(), 0755);
}

// A relative path of exactly `len` bytes ending in `tail`, through directories
// with names of 200 bytes (a name may have at most 255).
std::string nested(size_t len, const std::string &tail) {
    std::string rel = "deep";
    while (len - rel.size() - 1 > 240) rel += "/" + std::string(200, 'd');
    return rel + "/" + std::string(len - rel.size() - 1 - tail.size(), 'f') + tail;
}

TEST(HostilePaths, JsonEscapesTheInputPathAndNothingElseChanges) {
    const std::string dir = temp_dir();
    const Bytes wav = make_wav(WavSpec{8000, 2, WAV_ENCODING_INT16}, two_channels(4000));
    write_temp("plain.wav", wav);
    const std::vector<std::string> query{"--at-sample", "2000", "--window-samples", "1024"};
    auto run = [&](const std::string &in, std::vector<std::string> extra) {
        std::vector<std::string> args{"--input", in};
        args.insert(args.end(), query.begin(), query.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return run_tonesift_in(dir, args);
    };
    const std::string plain_json = run("plain.wav", {"--json"}).out, plain_text = run("plain.wav", {}).out,
                      plain_csv = run("plain.wav", {"--csv"}).out;
    const std::string plain_line = "    \"input_file\": \"plain.wav\",\n";
    ASSERT_NE(plain_json.find(plain_line), std::string::npos);
    ASSERT_NE(plain_csv.find("\n0,1,"), std::string::npos);

    struct PathRow {
        std::string rel;
        std::optional<std::string> json; // the escaped member value; none when the member is left out
    };
    const std::vector<PathRow> rows = {
        {"a&b<c>d 'e'.wav", "a&b<c>d 'e'.wav"},
        {"q\"uote.wav", "q\\\"uote.wav"},
        {"x</script><!--y-->.wav", "x</script><!--y-->.wav"},
        {"back\\slash\\\\.wav", "back\\\\slash\\\\\\\\.wav"},
        {"t\tn\nr\r.wav", "t\\tn\\nr\\r.wav"},
        {"ctl\x01\x7f bad\xff-\xc3.wav", "ctl\x01\x7f bad\xff-\xc3.wav"},
        {"sp ace/\"dir\"\\/in.wav", "sp ace/\\\"dir\\\"\\\\/in.wav"},
        // The escaped value may have 511 bytes, a two-byte escape included.
        {nested(511, ".wav"), nested(511, ".wav")},
        {nested(512, ".wav"), std::nullopt},
        {nested(510, "\t"), nested(509, "") + "\\t"},
        {nested(511, "\t"), std::nullopt},
    };
    for (const PathRow &r : rows) {
        SCOPED_TRACE(r.rel.substr(0, 80));
        make_parents(dir, r.rel);
        ASSERT_TRUE(write_file(dir + "/" + r.rel, wav));
        const ProcessResult json = run(r.rel, {"--json"});
        EXPECT_EQ(json.status, 0);
        EXPECT_EQ(json.err, "");
        EXPECT_EQ(json.out, replaced(plain_json, plain_line, r.json ? "    \"input_file\": \"" + *r.json + "\",\n" : ""));
        EXPECT_EQ(run(r.rel, {}).out, plain_text);
        const std::string html = r.rel + ".html";
        const ProcessResult csv = run(r.rel, {"--csv", "--html", html});
        EXPECT_EQ(csv.status, 0);
        EXPECT_EQ(csv.out, plain_csv);
        EXPECT_EQ(csv.err, "wrote " + html + "\n");
        EXPECT_EQ(read_file_text(dir + "/" + html).rfind("<!doctype html>\n", 0), 0u);
    }
}

TEST(HostilePaths, MessagesEchoThePathRaw) {
    const std::string dir = temp_dir();
    const std::string odd = "od\"d 'q' <b>&amp;\\ \t\n\r\x01\x7f\xff\xc3.wav";
    ASSERT_TRUE(write_file(dir + "/" + odd, make_wav(WavSpec{8000, 1, WAV_ENCODING_INT16}, silence(100))));
    std::string too_long;
    while (too_long.size() < 5000) too_long += std::string(250, 'm') + "/";
    const std::string missing_dir = "no dir\x01\xff/<a href='x'>&\"\n.html";
    struct Row {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Row> rows = {
        {{"--input", odd + "x", "--at", "0"}, "error: failed to read '" + odd + "x' (" + GENERIC + ")\n"},
        {{"--input", odd, "--at", "0", "--channel", "1"},
         "error: --channel 1 is out of range ('" + odd + "' has 1 channel)\n"},
        {{"--input", odd, "--at-sample", "100"},
         "error: query point (sample 100) is at or past '" + odd + "''s own duration (100 samples)\n"},
        {{"--input", odd, "--at", "0", "--html", missing_dir}, "error: failed to write '" + missing_dir + "'\n"},
        {{"--input", odd, "--at", "0", "--html", too_long + "r.html"}, "error: failed to write '" + too_long + "r.html'\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.args[1].substr(0, 40));
        const ProcessResult p = run_tonesift_in(dir, r.args);
        EXPECT_EQ(p.status, 1);
        EXPECT_EQ(p.out, "");
        EXPECT_EQ(p.err, r.err);
    }
}

} // namespace
