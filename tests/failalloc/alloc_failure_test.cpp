// Runs queries on a build whose N-th allocation fails, for every N until no
// failure fires, and checks that each run ends cleanly: status 1, exactly one
// of the messages for the phase that failed, nothing on stdout and
// no report file created or changed. Under the sanitizer build a leak would
// change the exit status, so this also proves every failure path frees.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/generic_reason.hpp"
#include "support/run_process.hpp"
#include "support/wav_writer.hpp"

namespace {

ProcessResult run_failing(const std::vector<std::string> &args, unsigned long fail_at, bool from,
                          const std::string &report = "") {
    std::vector<std::string> argv{TONESIFT_FAILALLOC_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env{"TONESIFT_FAIL_AT=" + std::to_string(fail_at),
                                 std::string("TONESIFT_FAIL_FROM=") + (from ? "1" : "0")};
    if (!report.empty()) env.push_back("TONESIFT_ALLOC_REPORT=" + report);
    return run_process(argv, env);
}

struct Case {
    uint32_t encoding;
    const char *format; // "", "--json", "--csv" or "--html"
};

void PrintTo(const Case &c, std::ostream *os) {
    *os << "encoding " << c.encoding << " " << (c.format[0] ? c.format : "text");
}

std::string case_name(const testing::TestParamInfo<Case> &info) {
    std::string f = info.param.format[0] ? info.param.format + 2 : "text";
    return "enc" + std::to_string(info.param.encoding) + "_" + f;
}

class AllocationFailure : public testing::TestWithParam<Case> {};

TEST_P(AllocationFailure, EveryFailureEndsWithItsMessageAndNothingElse) {
    const Case c = GetParam();
    std::string dir = temp_dir();
    std::string tag = case_name({c, 0});
    std::string in = dir + "/alloc_" + tag + ".wav";
    std::string html = dir + "/alloc_" + tag + ".html";
    std::string counter = dir + "/alloc_" + tag + ".count";
    WavSpec layout{48000, 2, c.encoding};
    auto x = interleave({sine(48000, 12000, 1000.0, 0.5), sine(48000, 12000, 3000.0, 0.25)});
    // An extra chunk, so that loading allocates whatever the encoding.
    Bytes chunks = cat({chunk("fmt ", fmt_body(layout)), chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'x'}),
                        chunk("data", data_body(layout, x))});
    ASSERT_TRUE(write_file(in, riff(chunks)));

    std::vector<std::string> args{"--input", in, "--at", "0.1"};
    bool with_html = std::string(c.format) == "--html";
    if (with_html) args.insert(args.end(), {"--html", html});
    else if (c.format[0]) args.push_back(c.format);

    std::remove(html.c_str());
    ProcessResult clean = run_failing(args, 0, false, counter);
    ASSERT_EQ(clean.status, 0) << clean.err;
    ASSERT_FALSE(clean.out.empty());
    unsigned long total = std::stoul(read_file_text(counter));
    ASSERT_GT(total, 3u);
    std::remove(html.c_str());

    const std::string read_msg = "error: failed to read '" + in + "' (" + GENERIC_REASON + ")\n";
    const std::string oom_msg = "error: out of memory\n";
    const std::string write_msg = "error: failed to write '" + html + "'\n";
    const std::string messages[] = {read_msg, oom_msg, write_msg};

    for (bool from : {false, true}) {
        int phase = 0; // the phases fail in order: load, analysis, report
        int seen[3] = {0, 0, 0};
        for (unsigned long n = 1; n <= total; ++n) {
            // An existing report must survive a failed run untouched.
            if (with_html && n % 2 == 0) {
                ASSERT_TRUE(write_file(html, Bytes{'o', 'l', 'd'}));
            }
            ProcessResult r = run_failing(args, n, from);
            SCOPED_TRACE("allocation " + std::to_string(n) + (from ? " onwards" : ""));
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            int which = -1;
            for (int m = 0; m < 3; ++m)
                if (r.err == messages[m]) which = m;
            ASSERT_NE(which, -1) << "unexpected stderr: " << r.err;
            EXPECT_GE(which, phase) << "a later allocation failed in an earlier phase";
            phase = which;
            ++seen[which];
            if (with_html) {
                if (n % 2 == 0) {
                    EXPECT_EQ(read_file_text(html), "old");
                } else {
                    EXPECT_FALSE(file_exists(html));
                }
                std::remove(html.c_str());
            }
        }
        EXPECT_GT(seen[0], 0);
        EXPECT_GT(seen[1], 0);
        EXPECT_EQ(seen[2] > 0, with_html);
    }

    // Past the last allocation nothing fails and the output is the normal one.
    ProcessResult after = run_failing(args, total + 1, true);
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.out, clean.out);
}

INSTANTIATE_TEST_SUITE_P(
    AllEncodingsAndOutputs, AllocationFailure,
    testing::Values(Case{WAV_ENCODING_INT16, ""}, Case{WAV_ENCODING_INT24, "--json"},
                    Case{WAV_ENCODING_INT32, "--csv"}, Case{WAV_ENCODING_FLOAT32, "--html"},
                    Case{WAV_ENCODING_FLOAT64, ""}, Case{WAV_ENCODING_INT16, "--html"}),
    case_name);

} // namespace
