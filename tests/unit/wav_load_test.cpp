// WAV reader: conversions, malformed and unusual layouts, reason texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/documented_outputs.hpp"
#include "support/wav_writer.hpp"
#include "wav/wav.hpp"

namespace {

const char *const GENERIC = GENERIC_REASON;

Bytes fmt16(uint32_t tag, uint32_t ch, uint32_t rate, uint32_t bits) {
    return chunk("fmt ", fmt_fields(tag, ch, rate, bits, 16));
}

// Mono 16-bit data chunk of the given sample values.
Bytes pcm16(std::initializer_list<int> v) {
    Bytes b;
    for (int x : v) put_u16(b, static_cast<uint32_t>(x) & 0xFFFF);
    return chunk("data", b);
}

bool is_zeroed(const WavData &w) {
    return w.sample_rate == 0 && w.channels == 0 && w.encoding == 0 && !w.extensible &&
           w.channel_mask == 0 && w.frames == 0 &&
           w.extra_chunks == nullptr && w.extra_chunks_len == 0 && w.file == nullptr;
}

struct FailCase {
    const char *name;
    Bytes file;
};

void PrintTo(const FailCase &c, std::ostream *os) { *os << c.name; }

class WavRejects : public ::testing::TestWithParam<FailCase> {};

TEST_P(WavRejects, FailsWithGenericReasonAndZeroedRecord) {
    const FailCase &c = GetParam();
    std::string path = write_temp(std::string("bad_") + c.name + ".wav", c.file);
    WavData w;
    std::memset(&w, 0xA5, sizeof w);
    EXPECT_FALSE(wav_load(path.c_str(), &w));
    EXPECT_TRUE(is_zeroed(w));
    EXPECT_STREQ(wav_error_text(), GENERIC);
}

const Bytes FMT_M16 = fmt16(1, 1, 8000, 16);
const Bytes DATA_2 = pcm16({1, 2});

INSTANTIATE_TEST_SUITE_P(
    Malformed, WavRejects,
    ::testing::Values(
        FailCase{"empty", {}},
        FailCase{"short_header", cat({text("RIFF"), raw({4, 0, 0, 0}), text("WAV")})},
        FailCase{"not_riff", cat({text("RIFX"), raw({4, 0, 0, 0}), text("WAVE"), FMT_M16, DATA_2})},
        FailCase{"not_wave", cat({text("RIFF"), raw({4, 0, 0, 0}), text("AVI "), FMT_M16, DATA_2})},
        FailCase{"no_fmt", riff(DATA_2)},
        FailCase{"no_data", riff(FMT_M16)},
        FailCase{"fmt_15", riff(cat({chunk("fmt ", fmt_fields(1, 1, 8000, 16, 15)), DATA_2}))},
        FailCase{"fmt_cut_by_eof", riff(cat({header_of("fmt ", 16), raw({1, 0, 1, 0})}))},
        FailCase{"ext_25", riff(cat({chunk("fmt ", fmt_fields(0xFFFE, 1, 8000, 16, 25)), DATA_2}))},
        FailCase{"ext_subformat_2", riff(cat({chunk("fmt ", fmt_fields(0xFFFE, 1, 8000, 16, 40, 2)), DATA_2}))},
        FailCase{"tag_0x0103", riff(cat({fmt16(0x0103, 1, 8000, 16), DATA_2}))},
        FailCase{"int8", riff(cat({fmt16(1, 1, 8000, 8), DATA_2}))},
        FailCase{"int12", riff(cat({fmt16(1, 1, 8000, 12), DATA_2}))},
        FailCase{"int20", riff(cat({fmt16(1, 1, 8000, 20), chunk("data", Bytes(6, 0))}))},
        FailCase{"int64", riff(cat({fmt16(1, 1, 8000, 64), chunk("data", Bytes(8, 0))}))},
        FailCase{"float16", riff(cat({fmt16(3, 1, 8000, 16), DATA_2}))},
        FailCase{"float24", riff(cat({fmt16(3, 1, 8000, 24), chunk("data", Bytes(6, 0))}))},
        FailCase{"float128", riff(cat({fmt16(3, 1, 8000, 128), chunk("data", Bytes(16, 0))}))},
        FailCase{"ext_float16", riff(cat({chunk("fmt ", fmt_fields(0xFFFE, 1, 8000, 16, 40, 3)), DATA_2}))},
        FailCase{"channels_0", riff(cat({fmt16(1, 0, 8000, 16), DATA_2}))},
        FailCase{"rate_0", riff(cat({fmt16(1, 1, 0, 16), DATA_2}))},
        FailCase{"partial_frame", riff(cat({fmt16(1, 2, 8000, 16), chunk("data", Bytes(6, 0))}))},
        FailCase{"data_size_ffffffff", riff(cat({FMT_M16, header_of("data", 0xFFFFFFFF), Bytes(10, 0)}))},
        FailCase{"junk_size_fffffffe", riff(cat({FMT_M16, DATA_2, header_of("JUNK", 0xFFFFFFFE), Bytes(10, 0)}))},
        // The padded body of an odd unknown chunk includes its pad byte.
        FailCase{"odd_unknown_unpadded_at_end", riff(cat({FMT_M16, DATA_2, header_of("LIST", 3), text("abc")}))},
        // A format chunk too short to use, or of an unsupported kind, is refused
        // rather than skipped in favour of another one.
        FailCase{"fmt_0_before_good_fmt", riff(cat({header_of("fmt ", 0), FMT_M16, DATA_2}))},
        FailCase{"first_of_two_fmt_unsupported", riff(cat({fmt16(2, 1, 8000, 16), FMT_M16, DATA_2}))},
        FailCase{"later_fmt_unsupported", riff(cat({FMT_M16, DATA_2, fmt16(6, 1, 8000, 16)}))},
        FailCase{"width_0", riff(cat({fmt16(1, 1, 8000, 0), DATA_2}))},
        // 0xFFFFFFFF is a whole number of 3-byte frames: only the missing bytes stop it.
        FailCase{"data_size_ffffffff_24bit", riff(cat({fmt16(1, 1, 8000, 24), header_of("data", 0xFFFFFFFF), Bytes(3000, 0)}))},
        FailCase{"float64_data_one_byte_short", riff(cat({fmt16(3, 1, 8000, 64), header_of("data", 800), Bytes(799, 0)}))}),
    [](const auto &param_info) { return std::string(param_info.param.name); });

TEST(WavLoad, MissingFileOrArguments) {
    WavData w{};
    EXPECT_FALSE(wav_load((temp_dir() + "/does-not-exist.wav").c_str(), &w));
    EXPECT_TRUE(is_zeroed(w));
    EXPECT_STREQ(wav_error_text(), GENERIC);
    std::string ok = write_temp("args_ok.wav", riff(cat({FMT_M16, DATA_2})));
    EXPECT_FALSE(wav_load(nullptr, &w));
    EXPECT_FALSE(wav_load(ok.c_str(), nullptr));
    wav_free(nullptr);
    wav_free(&w);
    EXPECT_TRUE(is_zeroed(w));
}

struct GoodCase {
    const char *name;
    Bytes file;
    uint32_t rate, channels, encoding;
    bool extensible;
    uint32_t mask;
    std::vector<double> samples;
    Bytes extra;
};

void PrintTo(const GoodCase &c, std::ostream *os) { *os << c.name; }

const double Q16 = 32767.0;

// A file that loads as the plain 8000 Hz mono 16-bit samples {1, 2}.
GoodCase plain(const char *name, const Bytes &file, const Bytes &extra = {}) {
    return {name, file, 8000, 1, 16, false, 0, {1 / Q16, 2 / Q16}, extra};
}

class WavAccepts : public ::testing::TestWithParam<GoodCase> {};

TEST_P(WavAccepts, LoadsEveryField) {
    const GoodCase &c = GetParam();
    std::string path = write_temp(std::string("good_") + c.name + ".wav", c.file);
    WavData w;
    ASSERT_TRUE(wav_load(path.c_str(), &w));
    EXPECT_EQ(w.sample_rate, c.rate);
    EXPECT_EQ(w.channels, c.channels);
    EXPECT_EQ(w.encoding, c.encoding);
    EXPECT_EQ(w.extensible, c.extensible);
    EXPECT_EQ(w.channel_mask, c.mask);
    ASSERT_EQ(w.frames * w.channels, c.samples.size());
    EXPECT_EQ(read_all_samples(w), c.samples);
    ASSERT_EQ(w.extra_chunks_len, c.extra.size());
    if (!c.extra.empty()) {
        EXPECT_EQ(Bytes(w.extra_chunks, w.extra_chunks + w.extra_chunks_len), c.extra);
    }
    EXPECT_STREQ(wav_error_text(), GENERIC);
    wav_free(&w);
    EXPECT_TRUE(is_zeroed(w));
    wav_free(&w);
    EXPECT_TRUE(is_zeroed(w));
}

const Bytes LIST_ODD = cat({header_of("LIST", 3), text("abc"), raw({0})});
const Bytes CUE_EVEN = cat({header_of("cue ", 4), raw({9, 8, 7, 6})});
const Bytes FMT_S16_22050 = fmt16(1, 2, 22050, 16);
const Bytes TINY = [] {
    Bytes b;
    for (int i = 0; i < 500; ++i) b = cat({b, chunk("pad1", text("x")), header_of("zer0", 0)});
    return b;
}();
const double QUIET_NAN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Layouts, WavAccepts,
    ::testing::Values(
        plain("plain16", riff(cat({FMT_M16, DATA_2}))),
        // The RIFF size field is not consulted.
        plain("riff_size_wrong", cat({text("RIFF"), raw({0xFF, 0xFF, 0xFF, 0xFF}), text("WAVE"), FMT_M16, DATA_2})),
        plain("fmt_18", riff(cat({chunk("fmt ", fmt_fields(1, 1, 8000, 16, 18)), DATA_2}))),
        // A plain tag with a sub-format field naming float: the field is not read.
        plain("fmt_40_plain", riff(cat({chunk("fmt ", fmt_fields(1, 1, 8000, 16, 40, 3, 7)), DATA_2}))),
        plain("fmt_41_padded", riff(cat({chunk("fmt ", fmt_fields(1, 1, 8000, 16, 41)), DATA_2}))),
        plain("fmt_50", riff(cat({chunk("fmt ", fmt_fields(1, 1, 8000, 16, 50)), DATA_2}))),
        GoodCase{"ext_60", riff(cat({chunk("fmt ", fmt_fields(0xFFFE, 1, 8000, 16, 60, 1, 4)), DATA_2})), 8000, 1, 16,
                 true, 4, {1 / Q16, 2 / Q16}, {}},
        GoodCase{"ext_26", riff(cat({chunk("fmt ", fmt_fields(0xFFFE, 1, 8000, 16, 26, 1, 4)), DATA_2})), 8000, 1, 16,
                 true, 4, {1 / Q16, 2 / Q16}, {}},
        GoodCase{"ext_float32", riff(cat({chunk("fmt ", fmt_fields(0xFFFE, 2, 96000, 32, 40, 3, 3)),
                                          chunk("data", raw({0, 0, 0x80, 0x3F, 0, 0, 0xC0, 0xBF}))})),
                 96000, 2, 288, true, 3, {1.0, -1.5}, {}},
        GoodCase{"ext_int24_valid20",
                 [] {
                     Bytes f = fmt_fields(0xFFFE, 1, 44100, 24, 40, 1, 4);
                     f[18] = 20;
                     return riff(cat({chunk("fmt ", f), chunk("data", raw({0xFF, 0xFF, 0x7F, 0, 0, 0}))}));
                 }(),
                 44100, 1, 24, true, 4, {1.0, 0.0}, {}},
        plain("fmt_after_data", riff(cat({DATA_2, LIST_ODD, FMT_M16, CUE_EVEN})), cat({LIST_ODD, CUE_EVEN})),
        plain("extra_chunks_kept", riff(cat({LIST_ODD, FMT_M16, CUE_EVEN, DATA_2, header_of("id3 ", 0)})),
              cat({LIST_ODD, CUE_EVEN, header_of("id3 ", 0)})),
        plain("many_tiny_chunks", riff(cat({TINY, FMT_M16, TINY, DATA_2, TINY})), cat({TINY, TINY, TINY})),
        GoodCase{"two_data_second_wins", riff(cat({FMT_M16, pcm16({5, 6, 7}), pcm16({-1})})), 8000, 1, 16, false, 0,
                 {-1 / Q16}, {}},
        GoodCase{"two_fmt_later_wins", riff(cat({FMT_M16, FMT_S16_22050, pcm16({3, 4})})), 22050, 2, 16, false, 0,
                 {3 / Q16, 4 / Q16}, {}},
        GoodCase{"odd_data_at_end_unpadded", riff(cat({fmt16(1, 1, 8000, 24), header_of("data", 3), raw({1, 0, 0})})),
                 8000, 1, 24, false, 0, {1 / 8388607.0}, {}},
        GoodCase{"odd_data_padded_then_chunk",
                 riff(cat({fmt16(1, 1, 8000, 24), chunk("data", raw({1, 0, 0})), CUE_EVEN})), 8000, 1, 24, false, 0,
                 {1 / 8388607.0}, CUE_EVEN},
        GoodCase{"empty_data", riff(cat({FMT_M16, chunk("data", {})})), 8000, 1, 16, false, 0, {}, {}},
        // A NaN in a data chunk that a later one replaces is never seen.
        GoodCase{"nan_only_in_replaced_data",
                 riff(cat({fmt16(3, 1, 8000, 32), chunk("data", data_body(WavSpec{8000, 1, 288}, {QUIET_NAN, 0.5})),
                           chunk("data", data_body(WavSpec{8000, 1, 288}, {0.25}))})),
                 8000, 1, 288, false, 0, {0.25}, {}},
        // A size of 0xFFFFFFFF pads to 0 in 32-bit arithmetic: only the header is
        // kept and the walk carries on right behind it.
        plain("unknown_size_ffffffff", riff(cat({header_of("JUNK", 0xFFFFFFFF), FMT_M16, DATA_2})),
              header_of("JUNK", 0xFFFFFFFF)),
        plain("trailing_partial_header", cat({riff(cat({FMT_M16, DATA_2})), text("LIS")}))),
    [](const auto &param_info) { return std::string(param_info.param.name); });

// Exact divisors of every encoding, at full scale, most negative and small values.
struct ConvCase {
    uint32_t encoding;
    Bytes bytes;
    double expected;
};

TEST(WavConvert, EveryEncodingExactly) {
    float f01 = 0.1f;
    double d = -0.123456789012345678;
    Bytes d_bytes(8);
    std::memcpy(d_bytes.data(), &d, 8);
    const std::vector<ConvCase> cases = {
        {16, raw({0xFF, 0x7F}), 1.0},
        {16, raw({0x00, 0x80}), -32768.0 / 32767.0},
        {16, raw({0x01, 0x00}), 1.0 / 32767.0},
        {16, raw({0xFF, 0xFF}), -1.0 / 32767.0},
        {16, raw({0x34, 0x12}), 4660.0 / 32767.0},
        {24, raw({0xFF, 0xFF, 0x7F}), 1.0},
        {24, raw({0x00, 0x00, 0x80}), -8388608.0 / 8388607.0},
        {24, raw({0xFF, 0xFF, 0xFF}), -1.0 / 8388607.0},
        {24, raw({0x01, 0x00, 0x00}), 1.0 / 8388607.0},
        {24, raw({0x56, 0x34, 0x12}), 1193046.0 / 8388607.0},
        {24, raw({0x00, 0x00, 0xC0}), -4194304.0 / 8388607.0},
        {32, raw({0xFF, 0xFF, 0xFF, 0x7F}), 1.0},
        {32, raw({0x00, 0x00, 0x00, 0x80}), -2147483648.0 / 2147483647.0},
        {32, raw({0xFF, 0xFF, 0xFF, 0xFF}), -1.0 / 2147483647.0},
        {32, raw({0x78, 0x56, 0x34, 0x12}), 305419896.0 / 2147483647.0},
        {288, raw({0x00, 0x00, 0x80, 0x3F}), 1.0},
        {288, raw({0xCD, 0xCC, 0xCC, 0x3D}), static_cast<double>(f01)},
        {288, raw({0x00, 0x00, 0x00, 0xC1}), -8.0},
        {320, d_bytes, d},
        {320, raw({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}), 1.0},
    };
    for (const auto &c : cases) {
        double got = 0;
        switch (c.encoding) {
        case 16: got = wav_sample_int16(c.bytes.data()); break;
        case 24: got = wav_sample_int24(c.bytes.data()); break;
        case 32: got = wav_sample_int32(c.bytes.data()); break;
        case 288: got = wav_sample_float32(c.bytes.data()); break;
        default: got = wav_sample_float64(c.bytes.data()); break;
        }
        EXPECT_EQ(got, c.expected) << "encoding " << c.encoding << " byte0 " << int(c.bytes[0]);
    }
    // Round trip of the same bytes through a file of each encoding, stereo.
    for (uint32_t enc : {16u, 24u, 32u, 288u, 320u}) {
        Bytes data;
        std::vector<double> expected;
        for (const auto &c : cases)
            if (c.encoding == enc) {
                data.insert(data.end(), c.bytes.begin(), c.bytes.end());
                expected.push_back(c.expected);
            }
        if (expected.size() % 2) {
            Bytes first(data.begin(), data.begin() + static_cast<long>(data.size() / expected.size()));
            data.insert(data.end(), first.begin(), first.end());
            expected.push_back(expected[0]);
        }
        WavSpec s{44100, 2, enc};
        std::string path = write_temp("conv_" + std::to_string(enc) + ".wav",
                                      riff(cat({chunk("fmt ", fmt_body(s)), chunk("data", data)})));
        WavData w;
        ASSERT_TRUE(wav_load(path.c_str(), &w)) << enc;
        EXPECT_EQ(w.encoding, enc);
        EXPECT_EQ(w.frames, expected.size() / 2);
        EXPECT_EQ(read_all_samples(w), expected) << enc;
        wav_free(&w);
    }
}

struct NonFiniteCase {
    uint32_t encoding;
    uint16_t channels;
    bool extensible;
    size_t index;
    double value;
    const char *reason;
};

TEST(WavLoad, NonFiniteFloatSamplesNameFirstFrameAndChannel) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<NonFiniteCase> cases = {
        {288, 2, false, 6, nan, "contains NaN or infinite samples, first at frame 3, channel 0"},
        {320, 2, false, 6, nan, "contains NaN or infinite samples, first at frame 3, channel 0"},
        {288, 3, true, 7, inf, "contains NaN or infinite samples, first at frame 2, channel 1"},
        {320, 3, false, 11, -inf, "contains NaN or infinite samples, first at frame 3, channel 2"},
        {288, 1, false, 0, -inf, "contains NaN or infinite samples, first at frame 0, channel 0"},
        {320, 1, true, 19, inf, "contains NaN or infinite samples, first at frame 19, channel 0"},
    };
    for (const auto &c : cases) {
        WavSpec s{48000, c.channels, c.encoding, c.extensible, 7};
        std::vector<double> x(24, 0.25);
        x[c.index] = c.value;
        if (c.index + 2 < x.size()) x[c.index + 2] = nan; // only the first one counts
        std::string path = write_temp("nonfinite.wav", make_wav(s, x));
        WavData w;
        EXPECT_FALSE(wav_load(path.c_str(), &w));
        EXPECT_TRUE(is_zeroed(w));
        EXPECT_STREQ(wav_error_text(), c.reason);
    }
    // In a later data chunk that replaces a clean one.
    const WavSpec f64{8000, 2, WAV_ENCODING_FLOAT64};
    std::string later = write_temp("nan_later.wav", riff(cat({chunk("fmt ", fmt_body(f64)), chunk("data", data_body(f64, {0.5, 0.5})),
                                                              chunk("data", data_body(f64, {0, 0, 0, 0, 0, nan}))})));
    WavData w;
    EXPECT_FALSE(wav_load(later.c_str(), &w));
    EXPECT_STREQ(wav_error_text(), "contains NaN or infinite samples, first at frame 2, channel 1");
    // A float32 bit pattern with an all-ones exponent but a payload, and the
    // largest finite values, which must pass.
    Bytes data = raw({0x01, 0x00, 0x80, 0x7F, 0xFF, 0xFF, 0x7F, 0x7F});
    std::string sig = write_temp("snan.wav", riff(cat({fmt16(3, 1, 8000, 32), chunk("data", data)})));
    EXPECT_FALSE(wav_load(sig.c_str(), &w));
    EXPECT_STREQ(wav_error_text(), "contains NaN or infinite samples, first at frame 0, channel 0");
    std::string big = write_temp("maxfloat.wav", make_wav(WavSpec{8000, 1, 320}, {1e308, -1e308}));
    ASSERT_TRUE(wav_load(big.c_str(), &w));
    EXPECT_EQ(read_all_samples(w)[0], 1e308);
    wav_free(&w);
}

TEST(WavLoad, ReasonTextIsResetByEveryLoad) {
    std::string nan_path = write_temp("reset_nan.wav", make_wav(WavSpec{8000, 1, 288}, {0.0, NAN}));
    std::string good = write_temp("reset_good.wav", make_wav(WavSpec{8000, 1, 16}, {0.5, 0.5}));
    // Integer data with every bit set is an ordinary value, never non-finite.
    std::string ones = write_temp("reset_ones.wav", riff(cat({fmt16(1, 1, 8000, 32), chunk("data", Bytes(8, 0xFF))})));
    WavData w;
    EXPECT_FALSE(wav_load(nan_path.c_str(), &w));
    EXPECT_STREQ(wav_error_text(), "contains NaN or infinite samples, first at frame 1, channel 0");
    EXPECT_FALSE(wav_load((temp_dir() + "/missing.wav").c_str(), &w));
    EXPECT_STREQ(wav_error_text(), GENERIC);
    EXPECT_FALSE(wav_load(nan_path.c_str(), &w));
    ASSERT_TRUE(wav_load(good.c_str(), &w));
    EXPECT_STREQ(wav_error_text(), GENERIC);
    wav_free(&w);
    EXPECT_FALSE(wav_load(nan_path.c_str(), &w));
    ASSERT_TRUE(wav_load(ones.c_str(), &w));
    EXPECT_EQ(read_all_samples(w)[1], -1.0 / 2147483647.0);
    EXPECT_STREQ(wav_error_text(), GENERIC);
    wav_free(&w);
}

} // namespace
