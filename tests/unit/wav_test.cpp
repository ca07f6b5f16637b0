// Every encoding's conversion exactly (no printed digit shows a wrong
// divisor); windows read on demand as the whole data chunk holds them; a file
// that shrinks, or a read past what a pipe kept, fails; the float scan's blocks
// hide no sample. Which files load: tests/cases/files.test.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cfloat>

#include "support/wav_bytes.hpp"

namespace {

TEST(WavConvert, EveryEncodingExactly) {
    const double d = -0.123456789012345678;
    Bytes d_bytes;
    put_sample(d_bytes, WAV_ENCODING_FLOAT64, d);
    const struct {
        uint32_t encoding;
        Bytes bytes;
        double expected;
    } cases[] = {
        {WAV_ENCODING_INT16, Bytes{0xFF, 0x7F}, 1.0},
        {WAV_ENCODING_INT16, Bytes{0x00, 0x80}, -32768.0 / 32767.0},
        {WAV_ENCODING_INT16, Bytes{0x34, 0x12}, 4660.0 / 32767.0},
        {WAV_ENCODING_INT24, Bytes{0xFF, 0xFF, 0x7F}, 1.0},
        {WAV_ENCODING_INT24, Bytes{0x00, 0x00, 0x80}, -8388608.0 / 8388607.0},
        {WAV_ENCODING_INT24, Bytes{0xFF, 0xFF, 0xFF}, -1.0 / 8388607.0},
        {WAV_ENCODING_INT24, Bytes{0x56, 0x34, 0x12}, 1193046.0 / 8388607.0},
        {WAV_ENCODING_INT32, Bytes{0x00, 0x00, 0x00, 0x80}, -2147483648.0 / 2147483647.0},
        {WAV_ENCODING_INT32, Bytes{0x78, 0x56, 0x34, 0x12}, 305419896.0 / 2147483647.0},
        {WAV_ENCODING_FLOAT32, Bytes{0xCD, 0xCC, 0xCC, 0x3D}, static_cast<double>(0.1f)},
        {WAV_ENCODING_FLOAT32, Bytes{0x00, 0x00, 0x00, 0xC1}, -8.0},
        {WAV_ENCODING_FLOAT64, d_bytes, d},
    };
    // Three times over the same bytes (stride 0): two lanes at once, then one alone.
    for (const auto &c : cases) {
        double got[3];
        wav_convert_run(c.encoding, c.bytes.data(), 0, 3, got);
        for (double v : got) EXPECT_EQ(v, c.expected) << int(c.bytes[0]);
    }
}

// Each picked channel of frames start .. start + count reads as the
// interleaved samples hold it, silence outside them.
void expect_windows(const WavData &w, const std::vector<double> &all, uint32_t channels,
                    std::initializer_list<uint32_t> picked, std::initializer_list<int64_t> starts,
                    size_t count) {
    for (int64_t start : starts)
        for (uint32_t c : picked) {
            std::vector<double> got(count, -7.0), want(count, 0.0);
            for (size_t i = 0; i < count; ++i)
                if (const int64_t f = start + static_cast<int64_t>(i);
                    f >= 0 && f < int64_t(all.size() / channels))
                    want[i] = all[static_cast<size_t>(f) * channels + c];
            ASSERT_TRUE(wav_read_channel(&w, c, start, count, got.data()));
            EXPECT_EQ(got, want) << "start " << start << " channel " << c;
        }
}

TEST(WavWindow, OnDemandReadsMatchTheWholeFile) {
    const int64_t frames = 5000;
    for (uint32_t enc : {16u, 24u, 32u, 288u, 320u}) {
        for (uint32_t channels : {1u, 2u, 3u, 8u}) {
            // Values that every encoding holds exactly.
            const double top = enc < 256 ? std::ldexp(1.0, static_cast<int>(enc) - 1) - 1.0 : 64.0;
            std::vector<double> x(static_cast<size_t>(frames) * channels);
            for (size_t i = 0; i < x.size(); ++i)
                x[i] = static_cast<double>(static_cast<int>(i * 7919 % 201) - 100) / top;
            MemoryWav loaded(x, channels, 44100, enc);
            SCOPED_TRACE(std::to_string(enc) + " bits, " + std::to_string(channels) + " channels");
            expect_windows(loaded, x, channels, {0u, channels - 1u},
                           {-2048, -1, 0, 1234, frames - 4096, frames - 10, frames, frames + 100}, 4096);
            EXPECT_FALSE(loaded.wav.read_failed);
        }
    }
}

// A file cut after loading: a window's read and the float check fail, and
// say it was the file.
TEST(WavWindow, AFileThatShrinksAfterLoadingIsAReadFailure) {
    for (uint32_t enc : {WAV_ENCODING_INT16, WAV_ENCODING_FLOAT32}) {
        MemoryWav m(std::vector<double>(8000, 0.25), 1, 8000, enc);
        char path[] = "/tmp/wav_test_XXXXXX";
        const int fd = mkstemp(path);
        ASSERT_TRUE(fd >= 0 &&
                    write(fd, m.bytes.data(), m.bytes.size()) == static_cast<ssize_t>(m.bytes.size()));
        WavData w;
        ASSERT_TRUE(wav_load(path, &w));
        EXPECT_EQ(w.frames, 8000u);
        ASSERT_EQ(ftruncate(fd, 1000), 0);
        std::vector<double> got(4096);
        EXPECT_FALSE(wav_read_channel(&w, 0, 2000, got.size(), got.data()));
        EXPECT_TRUE(w.read_failed);
        EXPECT_EQ(wav_finite(w, nullptr, WAV_FINITE_BLOCK), enc == WAV_ENCODING_INT16);
        EXPECT_EQ(wav_failure().reason, enc == WAV_ENCODING_INT16 ? WavReason::none : WavReason::read_error);
        wav_free(&w);
        close(fd);
        unlink(path);
    }
}

// A pipe keeps the frames it is asked for, exactly as the file holds them;
// a read beyond them fails, never reads silence.
TEST(WavPipe, KeepsTheSpanOnly) {
    std::vector<double> x(2 * 9000);
    for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>(i % 613) / 1000.0;
    MemoryWav file(x, 2);
    FILE *pipe = fmemopen(file.bytes.data(), file.bytes.size(), "rb");
    WavData w{};
    ASSERT_TRUE(pipe && load_stream(pipe, &w, true, WavSpan{5000 - 1023, 1535, 1, 1}));
    expect_windows(w, x, 2, {1}, {5000 - 1023}, 1535);
    double got[2];
    EXPECT_FALSE(w.read_failed);
    EXPECT_FALSE(wav_read_channel(&w, 1, 5000 - 1024, 2, got) || wav_read_channel(&w, 1, 5511, 2, got) ||
                 wav_read_channel(&w, 0, 5000, 2, got));
    EXPECT_TRUE(w.read_failed);
    wav_free(&w);
    std::fclose(pipe);
}

// The first non-finite value is found wherever it lies in the scan's
// stretches, a later one no help and no hindrance, and finite values of
// extreme exponents are never flagged.
TEST(WavWindow, NonFiniteScanFindsTheFirstAtEveryPosition) {
    const uint64_t count = 1000;
    for (uint32_t enc : {288u, 320u}) {
        const size_t width = enc == 288 ? 4 : 8;
        // The largest, the smallest subnormal and normal magnitudes, -0.
        const double finite[2][5] = {{FLT_MAX, -FLT_MAX, FLT_TRUE_MIN, FLT_MIN, -0.0},
                                     {DBL_MAX, -DBL_MAX, DBL_TRUE_MIN, DBL_MIN, -0.0}};
        Bytes clean, bad;
        for (uint64_t i = 0; i < count; ++i) put_sample(clean, enc, finite[enc == 320][i % 5]);
        EXPECT_EQ(wav_find_non_finite(clean.data(), count, enc), count);
        for (double v : {double(INFINITY), double(-INFINITY), double(NAN)}) put_sample(bad, enc, v);
        for (uint64_t at : {0u, 255u, 256u, 257u, 511u, 767u, 768u, 999u})
            for (size_t k = 0; k < 3; ++k) {
                Bytes b = clean;
                for (uint64_t place : {at, at + 300})
                    if (place < count) std::memcpy(&b[place * width], &bad[k * width], width);
                EXPECT_EQ(wav_find_non_finite(b.data(), count, enc), at) << enc << " " << k;
            }
    }
    Bytes ints(4000, 0xFF);
    EXPECT_EQ(wav_find_non_finite(ints.data(), 1000, WAV_ENCODING_INT32), 1000u);
}

// The check's parts each say what they found where they lie: a clean one
// passes, one holding a NaN names its sample counted from the data's start,
// one the file no longer holds is unreadable, and the last, one sample
// short of a whole part, is checked to its end. The whole check names the
// first failing part's find.
TEST(WavWindow, FloatCheckPartsEachFindTheirOwn) {
    const uint64_t per_part = WAV_FINITE_PART_BYTES / 4;
    MemoryWav m(std::vector<double>(3 * per_part - 1, 0.5), 1, 48000, WAV_ENCODING_FLOAT32);
    // Written in after the load, whose own check would refuse them.
    for (const auto &[at, v] :
         {std::pair{per_part + 5, NAN}, {per_part + 9, INFINITY}, {3 * per_part - 2, -INFINITY}}) {
        const float f = v;
        ASSERT_EQ(pwrite(fileno(m.stream), &f, 4, static_cast<off_t>(44 + 4 * at)), 4);
    }
    std::vector<unsigned char> block(WAV_FINITE_BLOCK);
    const auto check = [&](uint64_t part) {
        return wav_finite_part(m.wav, part, block.data(), block.size());
    };
    ASSERT_EQ(wav_finite_parts(m.wav), 3u);
    EXPECT_EQ(check(0).found, WavPartCheck::passed);
    for (uint64_t part : {1u, 2u}) {
        const WavPartCheck found = check(part);
        EXPECT_EQ(found.found, WavPartCheck::not_finite) << part;
        EXPECT_EQ(found.sample, part == 1 ? per_part + 5 : 3 * per_part - 2) << part;
    }
    EXPECT_FALSE(wav_finite(m.wav, nullptr, WAV_FINITE_BLOCK));
    EXPECT_STREQ(wav_error_text(), "contains NaN or infinite samples, first at frame 2097157, channel 0");
    ASSERT_EQ(ftruncate(fileno(m.stream), static_cast<off_t>(44 + 8 * per_part + 40)), 0);
    EXPECT_EQ(check(1).found, WavPartCheck::not_finite);
    EXPECT_EQ(check(2).found, WavPartCheck::unreadable);
}

} // namespace
