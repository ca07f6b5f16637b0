// The built binary on malformed and unusual RIFF/WAVE files and on input and
// report paths full of markup, quotes, control bytes, invalid UTF-8 and length.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/run_process.hpp"
#include "support/wav_writer.hpp"

namespace {

const std::string GENERIC = "not a supported 16/24/32-bit integer or 32/64-bit float PCM WAV file";

Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes header_of(const char *id, uint32_t size) {
    Bytes b;
    put_tag(b, id);
    put_u32(b, size);
    return b;
}

Bytes fmt(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, size_t size, uint32_t sub = 1) {
    return chunk("fmt ", fmt_fields(tag, channels, rate, bits, size, sub, 3));
}

// Channel 0 swells while a second tone holds, channel 1 holds a third tone: a
// sample read from the wrong place or at the wrong scale changes the peaks.
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

// One file: either it fails with `err` ('@' standing for its path), or it
// prints, as text and as CSV, exactly what the ordinary file `same_as` prints.
struct FileRow {
    std::string name;
    Bytes file;
    std::string err;
    Bytes same_as;
    std::vector<std::string> args = {"--at-sample", "2000", "--window-samples", "1024"};
};

FileRow fails(const std::string &name, const Bytes &file, const std::string &reason = GENERIC) {
    return {name, file, "error: failed to read '@' (" + reason + ")\n", {}};
}

FileRow nonfinite(const std::string &name, WavSpec format, size_t index, double value, const std::string &at) {
    std::vector<double> x(5u * format.channels, 0.25);
    x[index] = value;
    x.back() = std::numeric_limits<double>::quiet_NaN(); // only the first one is named
    return fails(name, make_wav(format, x), "contains NaN or infinite samples, first at frame " + at);
}

TEST(HostileFiles, ExactOutcomeOfEveryLayout) {
    const WavSpec s16{8000, 2, WAV_ENCODING_INT16}, f64{8000, 2, WAV_ENCODING_FLOAT64};
    const WavSpec m24{8000, 1, WAV_ENCODING_INT24}, f32{8000, 2, WAV_ENCODING_FLOAT32};
    const std::vector<double> x = two_channels(4000), y = two_channels(1500);
    const Bytes FMT = chunk("fmt ", fmt_body(s16)), DATA = chunk("data", data_body(s16, x)), REF = make_wav(s16, x);
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();

    Bytes not_wave = REF, partial = data_body(s16, x), tiny;
    not_wave[11] = 'X';
    partial.resize(partial.size() + 2, 0);
    for (int i = 0; i < 1000; ++i) tiny = cat({tiny, i % 2 ? chunk("pad1", text("x")) : header_of("zer0", 0)});
    std::vector<double> x24(3999), burst = sine(8000, 32, 1000, 0.5), wide(65535u * 32u, 0.0), with_nan = y;
    for (size_t i = 0; i < x24.size(); ++i) x24[i] = x[2 * i];
    for (size_t f = 0; f < burst.size(); ++f) wide[f * 65535] = burst[f];
    with_nan[7] = nan;
    const WavSpec w65535{8000, 65535, WAV_ENCODING_INT16};
    const Bytes WIDE = make_wav(w65535, wide);

    const std::vector<FileRow> rows = {
        fails("empty", {}),
        fails("short_header", Bytes(REF.begin(), REF.begin() + 11)),
        fails("not_wave", not_wave),
        fails("truncated_chunk_header", cat({riff(FMT), text("data"), Bytes(2, 0)})),
        fails("unknown_chunk_past_end", riff(cat({FMT, DATA, header_of("LIST", 64), text("abc")}))),
        fails("data_past_end", riff(cat({FMT, header_of("data", 16004), data_body(s16, x)}))),
        fails("fmt_past_end", riff(cat({DATA, header_of("fmt ", 40), Bytes(FMT.begin() + 8, FMT.end() - 4)}))),
        fails("data_size_ffffffff", riff(cat({FMT, header_of("data", 0xFFFFFFFF), data_body(s16, x)}))),
        // 0xFFFFFFFF is a whole number of 3-byte frames: only the short read stops it.
        fails("data_size_ffffffff_24bit", riff(cat({fmt(1, 1, 8000, 24, 16), header_of("data", 0xFFFFFFFF), Bytes(3000, 0)}))),
        // A format chunk too short to use is refused, not skipped in favour of a later one.
        fails("fmt_0", riff(cat({header_of("fmt ", 0), FMT, DATA}))),
        fails("fmt_15", riff(cat({fmt(1, 2, 8000, 16, 15), FMT, DATA}))),
        fails("no_fmt", riff(DATA)),
        fails("no_data", riff(FMT)),
        fails("first_of_two_fmt_unsupported", riff(cat({fmt(2, 2, 8000, 16, 16), FMT, DATA}))),
        fails("later_fmt_unsupported", riff(cat({FMT, DATA, fmt(6, 2, 8000, 16, 16)}))),
        fails("channels_0", riff(cat({fmt(1, 0, 8000, 16, 16), DATA}))),
        fails("rate_0", riff(cat({fmt(1, 2, 0, 16, 16), DATA}))),
        fails("width_0", riff(cat({fmt(1, 2, 8000, 0, 16), DATA}))),
        fails("width_12", riff(cat({fmt(1, 2, 8000, 12, 16), DATA}))),
        fails("width_20", riff(cat({fmt(1, 2, 8000, 20, 16), DATA}))),
        fails("width_128", riff(cat({fmt(1, 2, 8000, 128, 16), DATA}))),
        fails("float_24", riff(cat({fmt(3, 2, 8000, 24, 16), chunk("data", Bytes(24000, 0))}))),
        fails("float_128", riff(cat({fmt(3, 2, 8000, 128, 16), DATA}))),
        fails("extensible_subformat_2", riff(cat({fmt(0xFFFE, 2, 8000, 16, 40, 2), DATA}))),
        fails("extensible_18", riff(cat({fmt(0xFFFE, 2, 8000, 16, 18), DATA}))),
        fails("extensible_25", riff(cat({fmt(0xFFFE, 2, 8000, 16, 25), DATA}))),
        fails("tag_adpcm", riff(cat({fmt(2, 2, 8000, 16, 16), DATA}))),
        fails("odd_unknown_unpadded_at_end", riff(cat({FMT, DATA, header_of("LIST", 3), text("abc")}))),
        fails("partial_frame", riff(cat({FMT, chunk("data", partial)}))),
        nonfinite("float64_minus_inf", f64, 7, -inf, "3, channel 1"),
        nonfinite("float32_inf_first", WavSpec{8000, 1, WAV_ENCODING_FLOAT32}, 0, inf, "0, channel 0"),
        nonfinite("float32_5ch_nan", WavSpec{8000, 5, WAV_ENCODING_FLOAT32}, 23, nan, "4, channel 3"),
        nonfinite("float32_extensible_nan", WavSpec{8000, 3, WAV_ENCODING_FLOAT32, true, 7}, 5, nan, "1, channel 2"),
        nonfinite("float64_nan_last", WavSpec{8000, 1, WAV_ENCODING_FLOAT64}, 4, nan, "4, channel 0"),
        fails("float64_nan_in_later_data", riff(cat({chunk("fmt ", fmt_body(f64)), chunk("data", data_body(f64, y)),
                                                     chunk("data", data_body(f64, with_nan))})),
              "contains NaN or infinite samples, first at frame 3, channel 1"),
        {"channels_65535_channel_out_of_range", WIDE, "error: --channel 65535 is out of range ('@' has 65535 channels)\n",
         {}, {"--at-sample", "16", "--channel", "65535"}},

        {"fmt_18", riff(cat({fmt(1, 2, 8000, 16, 18), DATA})), "", REF},
        // A plain tag with a sub-format field that names float: the field is not read.
        {"fmt_40_plain", riff(cat({fmt(1, 2, 8000, 16, 40, 3), DATA})), "", REF},
        {"fmt_41_padded", riff(cat({fmt(1, 2, 8000, 16, 41), DATA})), "", REF},
        {"fmt_50", riff(cat({fmt(1, 2, 8000, 16, 50), DATA})), "", REF},
        {"extensible_26", riff(cat({fmt(0xFFFE, 2, 8000, 16, 26), DATA})), "", REF},
        {"extensible_60", riff(cat({fmt(0xFFFE, 2, 8000, 16, 60), DATA})), "", REF},
        {"extensible_float64",
         riff(cat({chunk("fmt ", fmt_body(WavSpec{8000, 2, WAV_ENCODING_FLOAT64, true, 3})), chunk("data", data_body(f64, x))})),
         "", make_wav(f64, x)},
        {"fmt_after_data", riff(cat({DATA, FMT})), "", REF},
        {"two_fmt_later_wins", riff(cat({fmt(3, 1, 44100, 32, 16), FMT, DATA})), "", REF},
        {"two_data_later_wins", riff(cat({FMT, chunk("data", data_body(s16, y)), DATA})), "", REF},
        {"float32_nan_only_in_replaced_data",
         riff(cat({chunk("fmt ", fmt_body(f32)), chunk("data", data_body(f32, with_nan)), chunk("data", data_body(f32, x))})),
         "", make_wav(f32, x)},
        {"many_tiny_chunks", riff(cat({tiny, FMT, tiny, DATA, tiny})), "", REF},
        {"odd_unknown_padded_at_end", riff(cat({FMT, DATA, chunk("LIST", text("abc"))})), "", REF},
        {"odd_data_unpadded_at_end", riff(cat({chunk("fmt ", fmt_body(m24)), chunk("data", data_body(m24, x24), false)})),
         "", make_wav(m24, x24)},
        {"trailing_partial_header", cat({REF, text("LIS")}), "", REF},
        // Padded in 32-bit arithmetic, the size 0xFFFFFFFF becomes 0: the walk
        // carries on right behind the header.
        {"unknown_size_ffffffff", riff(cat({header_of("JUNK", 0xFFFFFFFF), FMT, DATA})), "", REF},
        {"channels_65535", WIDE, "", make_wav(WavSpec{8000, 1, WAV_ENCODING_INT16}, burst),
         {"--at-sample", "16", "--window-samples", "1024", "--channel", "0"}},
    };
    for (const FileRow &r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = write_temp("hostile_" + r.name + ".wav", r.file);
        std::vector<std::string> args{"--input", path};
        args.insert(args.end(), r.args.begin(), r.args.end());
        if (!r.err.empty()) {
            const ProcessResult p = run_tonesift(args);
            EXPECT_EQ(p.signal, 0);
            EXPECT_EQ(p.status, 1);
            EXPECT_EQ(p.out, "");
            EXPECT_EQ(p.err, replaced(r.err, "@", path));
            continue;
        }
        std::vector<std::string> ref_args = args;
        ref_args[1] = write_temp("hostile_" + r.name + "_ref.wav", r.same_as);
        for (const std::string format : {"", "--csv"}) {
            std::vector<std::string> a = args, b = ref_args;
            if (!format.empty()) a.push_back(format), b.push_back(format);
            const ProcessResult want = run_tonesift(b), got = run_tonesift(a);
            ASSERT_EQ(want.status, 0) << want.err;
            EXPECT_NE(want.out.find(format.empty() ? "dominant peak" : "\n0,1,"), std::string::npos) << want.out;
            EXPECT_EQ(got.signal, 0);
            EXPECT_EQ(got.status, 0);
            EXPECT_EQ(got.err, "");
            EXPECT_EQ(got.out, want.out);
        }
    }
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
        {"ctl\x01\x7f.wav", "ctl\x01\x7f.wav"},
        {"bad\xff-\xc3.wav", "bad\xff-\xc3.wav"},
        {"utf8 \xc3\xa9.wav", "utf8 \xc3\xa9.wav"},
        {"sp ace/\"dir\"\\/in.wav", "sp ace/\\\"dir\\\"\\\\/in.wav"},
        // The escaped value may have 511 bytes, a two-byte escape included.
        {nested(511, ".wav"), nested(511, ".wav")},
        {nested(512, ".wav"), std::nullopt},
        {nested(510, "\t"), nested(509, "") + "\\t"},
        {nested(511, "\t"), std::nullopt},
        {nested(4000, "&<>\"'.wav"), std::nullopt},
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
        {{"--input", too_long + "x.wav", "--at", "0"}, "error: failed to read '" + too_long + "x.wav' (" + GENERIC + ")\n"},
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
