// WAV reader: the conversion of every encoding, exactly, and the load's
// contract with its caller. Which files load is in tests/cases/files.test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/generic_reason.hpp"
#include "support/wav_writer.hpp"
#include "wav/wav.hpp"

namespace {

const char *const GENERIC = GENERIC_REASON;

bool is_zeroed(const WavData &w) {
    return w.sample_rate == 0 && w.channels == 0 && w.encoding == 0 && !w.extensible &&
           w.channel_mask == 0 && w.frames == 0 &&
           w.extra_chunks == nullptr && w.extra_chunks_len == 0 && w.file == nullptr;
}

TEST(WavLoad, MissingFileOrArguments) {
    WavData w{};
    EXPECT_FALSE(wav_load((temp_dir() + "/does-not-exist.wav").c_str(), &w));
    EXPECT_TRUE(is_zeroed(w));
    EXPECT_STREQ(wav_error_text(), GENERIC);
    std::string ok = write_temp("args_ok.wav", make_wav(WavSpec{8000, 1, WAV_ENCODING_INT16}, {0.5, 0.25}));
    EXPECT_FALSE(wav_load(nullptr, &w));
    EXPECT_FALSE(wav_load(ok.c_str(), nullptr));
    wav_free(nullptr);
    wav_free(&w);
    EXPECT_TRUE(is_zeroed(w));
}

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

} // namespace
