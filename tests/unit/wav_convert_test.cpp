// The conversion of every encoding, exactly: no printed digit shows a wrong
// divisor. Which files load is in tests/cases/files.test.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/wav_writer.hpp"
#include "wav/wav_internal.hpp"

namespace {

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
        case 16: got = sample_int16(c.bytes.data()); break;
        case 24: got = sample_int24(c.bytes.data()); break;
        case 32: got = sample_int32(c.bytes.data()); break;
        case 288: got = sample_float32(c.bytes.data()); break;
        default: got = sample_float64(c.bytes.data()); break;
        }
        EXPECT_EQ(got, c.expected) << "encoding " << c.encoding << " byte0 " << int(c.bytes[0]);
    }
}

} // namespace
