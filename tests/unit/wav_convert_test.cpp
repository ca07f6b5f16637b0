// The conversion of every encoding, exactly: no printed digit shows a wrong
// divisor. Which files load is in tests/cases/files.test.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/wav_bytes.hpp"

namespace {

TEST(WavConvert, EveryEncodingExactly) {
    const double d = -0.123456789012345678;
    Bytes d_bytes(8);
    std::memcpy(d_bytes.data(), &d, 8);
    const struct {
        double (*convert)(const unsigned char *);
        Bytes bytes;
        double expected;
    } cases[] = {
        {sample_int16, Bytes{0xFF, 0x7F}, 1.0},
        {sample_int16, Bytes{0x00, 0x80}, -32768.0 / 32767.0},
        {sample_int16, Bytes{0x34, 0x12}, 4660.0 / 32767.0},
        {sample_int24, Bytes{0xFF, 0xFF, 0x7F}, 1.0},
        {sample_int24, Bytes{0x00, 0x00, 0x80}, -8388608.0 / 8388607.0},
        {sample_int24, Bytes{0xFF, 0xFF, 0xFF}, -1.0 / 8388607.0},
        {sample_int24, Bytes{0x56, 0x34, 0x12}, 1193046.0 / 8388607.0},
        {sample_int32, Bytes{0x00, 0x00, 0x00, 0x80}, -2147483648.0 / 2147483647.0},
        {sample_int32, Bytes{0x78, 0x56, 0x34, 0x12}, 305419896.0 / 2147483647.0},
        {sample_float32, Bytes{0xCD, 0xCC, 0xCC, 0x3D}, static_cast<double>(0.1f)},
        {sample_float32, Bytes{0x00, 0x00, 0x00, 0xC1}, -8.0},
        {sample_float64, d_bytes, d},
    };
    for (const auto &c : cases) EXPECT_EQ(c.convert(c.bytes.data()), c.expected) << int(c.bytes[0]);
}

} // namespace
