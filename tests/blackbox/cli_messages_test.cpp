// The built binary: usage, version, every error message and exit status,
// compared byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/documented_outputs.hpp"
#include "support/run_process.hpp"
#include "support/usage_text.hpp"
#include "support/wav_writer.hpp"

namespace {

const std::string USAGE = USAGE_TEXT;
const std::string GENERIC = GENERIC_REASON;
const std::string NEED_INPUT = "error: --input is required\n\n" + USAGE;
const std::string ONE_OF = "error: exactly one of --at or --at-sample is required\n\n" + USAGE;
const std::string BOTH_FORMATS = "error: --json and --csv are mutually exclusive\n";

std::string unrecognized(const std::string &arg) { return "error: unrecognized argument '" + arg + "'\n\n" + USAGE; }
std::string bad_window(const std::string &got) {
    return "error: --window-samples must be one of 1024, 2048, 4096, 8192, 16384, 32768 (got " + got + ")\n";
}
std::string bad_top(const std::string &got) { return "error: --top must be between 1 and 64 (got " + got + ")\n"; }
std::string read_failed(const std::string &path, const std::string &reason) {
    return "error: failed to read '" + path + "' (" + reason + ")\n";
}
std::string bad_channel(const std::string &ch, const std::string &path, const std::string &count) {
    return "error: --channel " + ch + " is out of range ('" + path + "' has " + count + ")\n";
}
std::string past_end(const std::string &sample, const std::string &path, const std::string &frames) {
    return "error: query point (sample " + sample + ") is at or past '" + path + "''s own duration (" + frames +
           " samples)\n";
}

struct Files {
    std::string stereo, mono, r32768, empty, nan;
};

const Files &files() {
    static const Files f = [] {
        Files r;
        r.stereo = write_temp("stereo44.wav", make_wav(WavSpec{44100, 2, WAV_ENCODING_INT16},
                                                       interleave({sine(44100, 88200, 440, 0.5), silence(88200)})));
        r.mono = write_temp("mono44.wav", make_wav(WavSpec{44100, 1, WAV_ENCODING_INT24}, sine(44100, 44100, 440, 0.5)));
        r.r32768 = write_temp("r32768.wav", make_wav(WavSpec{32768, 1, WAV_ENCODING_INT16}, silence(32768)));
        r.empty = write_temp("empty_data.wav", make_wav(WavSpec{48000, 2, WAV_ENCODING_FLOAT32}, {}));
        std::vector<double> x(20, 0.1);
        x[6] = NAN;
        r.nan = write_temp("nan.wav", make_wav(WavSpec{48000, 2, WAV_ENCODING_FLOAT32}, x));
        return r;
    }();
    return f;
}

struct Row {
    std::vector<std::string> args;
    std::string out, err;
    int status;
};

void check(const std::vector<Row> &rows) {
    for (const auto &r : rows) {
        std::string cmd;
        for (const auto &a : r.args) cmd += " [" + a + "]";
        SCOPED_TRACE(cmd);
        ProcessResult p = run_tonesift(r.args);
        EXPECT_EQ(p.signal, 0);
        EXPECT_EQ(p.status, r.status);
        EXPECT_EQ(p.out, r.out);
        EXPECT_EQ(p.err, r.err);
    }
}

TEST(CliScan, UsageVersionHelpAndUnknownArguments) {
    const std::string A = files().stereo;
    const std::string V = "tonesift v0.7.1-beta\n";
    check({
        {{}, "", NEED_INPUT, 1},
        {{"--version"}, V, "", 0},
        {{"--version", "--bogus", "--top", "0", "--json", "--csv"}, V, "", 0},
        {{"--input", A, "--at", "1", "--version"}, "", unrecognized("--version"), 1},
        {{"--help"}, USAGE, "", 0},
        {{"-h"}, USAGE, "", 0},
        {{"--input", A, "--at", "1", "-h"}, USAGE, "", 0},
        {{"--bogus", "--help"}, "", unrecognized("--bogus"), 1},
        {{"--help", "--bogus"}, USAGE, "", 0},
        {{"--window-samples", "5", "--json", "--csv", "--at", "1", "--at-sample", "1", "-h"}, USAGE, "", 0},
        {{"--input", A, "--at"}, "", unrecognized("--at"), 1},
        {{"--input", A, "--at", "1", "--html"}, "", unrecognized("--html"), 1},
        {{"--HELP"}, "", unrecognized("--HELP"), 1},
        {{"--input=" + A, "--at", "1"}, "", unrecognized("--input=" + A), 1},
        {{""}, "", unrecognized(""), 1},
        {{"--input", A, "--at", "1", "extra"}, "", unrecognized("extra"), 1},
    });
}

TEST(CliValidate, MessagesInDocumentedOrder) {
    const std::string A = files().stereo;
    const std::string missing = temp_dir() + "/missing.wav";
    check({
        {{"--at", "1"}, "", NEED_INPUT, 1},
        {{"--at", "1", "--at-sample", "2", "--top", "0"}, "", NEED_INPUT, 1},
        {{"--input", A}, "", ONE_OF, 1},
        {{"--input", A, "--at", "1", "--at-sample", "1"}, "", ONE_OF, 1},
        // Empty texts count as given.
        {{"--input", A, "--at", "", "--at-sample", ""}, "", ONE_OF, 1},
        {{"--input", A, "--window-samples", "0", "--top", "0", "--json", "--csv"}, "", ONE_OF, 1},
        {{"--input", A, "--at", "1", "--window-samples", "4000"}, "", bad_window("4000"), 1},
        {{"--input", A, "--at", "1", "--window-samples", "-4096"}, "", bad_window("-4096"), 1},
        {{"--input", A, "--at", "1", "--window-samples", "4096", "--window-samples", "3"}, "", bad_window("3"), 1},
        {{"--input", A, "--at", "1", "--window-samples", "1000", "--top", "65", "--json", "--csv"}, "",
         bad_window("1000"), 1},
        {{"--input", A, "--at", "1", "--top", "65"}, "", bad_top("65"), 1},
        {{"--input", A, "--at", "1", "--top", "0"}, "", bad_top("0"), 1},
        {{"--input", A, "--at", "1", "--top", "0", "--json", "--csv"}, "", bad_top("0"), 1},
        {{"--input", A, "--at", "1", "--json", "--csv"}, "", BOTH_FORMATS, 1},
        {{"--input", missing, "--at", "1", "--csv", "--json"}, "", BOTH_FORMATS, 1},
        {{"--input", missing, "--at", "1"}, "", read_failed(missing, GENERIC), 1},
        {{"--input", missing, "--at", "1", "--channel", "7"}, "", read_failed(missing, GENERIC), 1},
        // The option swallows --json as its path, so no format clash arises.
        {{"--input", "--json", "--at", "0", "--csv"}, "", read_failed("--json", GENERIC), 1},
        {{"--input", A, "--at", "1", "--channel", "2"}, "", bad_channel("2", A, "2 channels"), 1},
        {{"--input", files().mono, "--at", "0.5", "--channel", "1"}, "", bad_channel("1", files().mono, "1 channel"), 1},
    });
}

TEST(CliValidate, LoadFailuresNameTheReason) {
    const Files &f = files();
    check({
        {{"--input", temp_dir(), "--at", "0"}, "", read_failed(temp_dir(), GENERIC), 1},
        {{"--input", f.nan, "--at-sample", "0", "--channel", "9"}, "",
         read_failed(f.nan, "contains NaN or infinite samples, first at frame 3, channel 0"), 1},
    });
}

TEST(CliValidate, QueryPointOutsideTheFile) {
    const Files &f = files();
    const std::string A = f.stereo;
    check({
        {{"--input", A, "--at", "-1"}, "", past_end("-44100", A, "88200"), 1},
        {{"--input", A, "--at", "2"}, "", past_end("88200", A, "88200"), 1},
        // 1.99999 s rounds up to the frame count.
        {{"--input", A, "--at", "1.99999"}, "", past_end("88200", A, "88200"), 1},
        {{"--input", A, "--at-sample", "-5"}, "", past_end("-5", A, "88200"), 1},
        {{"--input", A, "--at", "1e9"}, "", past_end("44100000000000", A, "88200"), 1},
        // Past 2^32 the index must not wrap back into the file (it would land on sample 33).
        {{"--input", f.r32768, "--at", "131072.001"}, "", past_end("4294967329", f.r32768, "32768"), 1},
        {{"--input", f.r32768, "--at-sample", "4294967296"}, "", past_end("2147483647", f.r32768, "32768"), 1},
        {{"--input", f.empty, "--at", "0"}, "", past_end("0", f.empty, "0"), 1},
        // The channel is checked before the query point.
        {{"--input", A, "--at-sample", "-1", "--channel", "5"}, "", bad_channel("5", A, "2 channels"), 1},
    });
}

} // namespace
