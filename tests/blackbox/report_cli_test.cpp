// The --html option seen from outside: the report file, the unchanged stdout,
// the "wrote" note, and every way the file can fail to be written.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "support/run_process.hpp"
#include "support/wav_writer.hpp"

namespace {

std::string stereo_tone_file(const std::string &name) {
    WavSpec layout{44100, 2, WAV_ENCODING_INT16};
    std::string path = temp_dir() + "/" + name;
    EXPECT_TRUE(write_file(path, make_wav(layout, interleave({sine(44100, 132300, 1000.0, 0.5),
                                                            sine(44100, 132300, 3000.0, 0.25)}))));
    return path;
}

TEST(ReportCli, HtmlLeavesStdoutAloneAndNotesTheFileLast) {
    const std::string in = stereo_tone_file("bb-tone.wav");
    const std::vector<std::vector<std::string>> formats = {{}, {"--json"}, {"--csv"}};
    for (const auto &format : formats) {
        std::vector<std::string> args = {"--input", in, "--at", "1.5"};
        args.insert(args.end(), format.begin(), format.end());
        const ProcessResult plain = run_tonesift(args);
        ASSERT_EQ(plain.status, 0) << plain.err;

        const std::string html = temp_dir() + "/bb-tone.html";
        std::remove(html.c_str());
        args.insert(args.end(), {"--html", html});
        const ProcessResult with_html = run_tonesift(args);
        EXPECT_EQ(with_html.status, 0);
        EXPECT_EQ(with_html.out, plain.out);
        EXPECT_EQ(with_html.err, "wrote " + html + "\n");

        const std::string page = read_file_text(html);
        EXPECT_EQ(page.rfind("<!doctype html>\n", 0), 0u);
        EXPECT_NE(page.find("<tr><td>1</td><td>1000.0 Hz</td>"), std::string::npos);
        EXPECT_NE(page.find("<tr><td>1</td><td>3000.0 Hz</td>"), std::string::npos);
    }
}

TEST(ReportCli, UnwritablePathsFailWithoutTouchingAnything) {
    const std::string in = stereo_tone_file("bb-fail.wav");
    const std::string dir = temp_dir() + "/bb-existing-dir";
    mkdir(dir.c_str(), 0755);
    const std::vector<std::string> paths = {
        temp_dir() + "/no-such-folder/out.html", // missing folder
        dir,                                     // a directory, not a file
        "",                                      // no name at all
    };
    for (const auto &html : paths) {
        const ProcessResult r = run_tonesift({"--input", in, "--at", "1.5", "--csv", "--html", html});
        EXPECT_EQ(r.status, 1) << html;
        EXPECT_EQ(r.out, "") << html;
        EXPECT_EQ(r.err, "error: failed to write '" + html + "'\n");
    }
    EXPECT_FALSE(file_exists(temp_dir() + "/no-such-folder"));
}

// The report never replaces the recording, whichever name reaches it.
TEST(ReportCli, TheInputFileIsNeverOverwritten) {
    const std::string dir = temp_dir();
    const std::string in = stereo_tone_file("take.wav");
    const std::string original = read_file_text(in);
    ASSERT_EQ(link(in.c_str(), (dir + "/hard.wav").c_str()), 0);
    ASSERT_EQ(symlink("take.wav", (dir + "/soft.wav").c_str()), 0);
    for (const char *html : {"take.wav", "./take.wav", "hard.wav", "soft.wav"}) {
        const ProcessResult r = run_tonesift_in(dir, {"--input", "take.wav", "--at", "1.5", "--html", html});
        EXPECT_EQ(r.status, 1) << html;
        EXPECT_EQ(r.out, "") << html;
        EXPECT_EQ(r.err, std::string("error: failed to write '") + html + "'\n");
    }
    EXPECT_EQ(read_file_text(in), original);
    // Another file of the same content is not the same file.
    ASSERT_TRUE(write_file(dir + "/copy.html", Bytes(original.begin(), original.end())));
    EXPECT_EQ(run_tonesift_in(dir, {"--input", "take.wav", "--at", "1.5", "--html", "copy.html"}).status, 0);
}

} // namespace
