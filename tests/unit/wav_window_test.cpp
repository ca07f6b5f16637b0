// Reading windows on demand must give exactly what decoding the whole data
// chunk at once gives: same values, same silence outside the file, same
// failures; and the float scan's blocks hide no sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/wav_writer.hpp"
#include "wav/wav_internal.hpp"

namespace {

// The whole-file decode: every sample of the data body, in file order.
std::vector<double> decode_all(const Bytes &body, uint32_t encoding) {
    double (*const convert)(const unsigned char *) = encoding == 16    ? sample_int16
                                                     : encoding == 24  ? sample_int24
                                                     : encoding == 32  ? sample_int32
                                                     : encoding == 288 ? sample_float32
                                                                       : sample_float64;
    const size_t width = (encoding & 0xFF) / 8;
    std::vector<double> all(body.size() / width);
    for (size_t i = 0; i < all.size(); ++i) all[i] = convert(body.data() + i * width);
    return all;
}

// Window of one channel from the whole-file decode, silence outside.
std::vector<double> window_of(const std::vector<double> &all, uint32_t channels, uint32_t channel,
                              int64_t start, uint64_t count) {
    const int64_t frames = static_cast<int64_t>(all.size() / channels);
    std::vector<double> w(count, 0.0);
    for (uint64_t i = 0; i < count; ++i) {
        int64_t f = start + static_cast<int64_t>(i);
        if (f >= 0 && f < frames) w[i] = all[static_cast<size_t>(f) * channels + channel];
    }
    return w;
}

struct Layout {
    const char *name;
    bool fmt_after_data;
    bool decoy_data_first; // an earlier data chunk that a later one replaces
};

TEST(WavWindow, OnDemandReadsMatchTheWholeFileDecode) {
    const Layout layouts[] = {{"plain", false, false}, {"two_data", false, true}};
    const uint64_t frames = 5000;
    for (uint32_t enc : {16u, 24u, 32u, 288u, 320u}) {
        for (uint16_t channels : {uint16_t{1}, uint16_t{2}, uint16_t{3}, uint16_t{8}}) {
            for (const Layout &layout : layouts) {
                WavLayout wav_format{44100, channels, enc};
                std::vector<std::vector<double>> chans;
                for (uint16_t c = 0; c < channels; ++c)
                    chans.push_back(sine(44100, frames, 100.0 * (c + 1) + 7.0, 0.9 - 0.1 * c, 0.3 * c));
                Bytes body = data_body(wav_format, interleave(chans));
                Bytes fmt = chunk("fmt ", fmt_body(wav_format));
                Bytes data = chunk("data", body);
                Bytes decoy = chunk("data", Bytes(6 * channels * 4, 0x55));
                Bytes file = layout.fmt_after_data ? cat({data, fmt})
                             : layout.decoy_data_first
                                 ? cat({fmt, decoy, chunk("JUNK", Bytes{1, 2, 3}), data})
                                 : cat({fmt, data});
                SCOPED_TRACE(std::string(layout.name) + " " + std::to_string(enc) + " " +
                             std::to_string(channels));
                MemoryWav loaded(riff(file));
                const WavData &w = loaded;
                ASSERT_EQ(w.frames, frames);
                const std::vector<double> all = decode_all(body, enc);
                for (int64_t start :
                     {int64_t{-2048}, int64_t{-1}, int64_t{0}, int64_t{1234}, int64_t{2500},
                      int64_t{frames - 4096}, int64_t{frames - 10}, int64_t{frames}, int64_t{frames + 100}}) {
                    for (uint32_t c : {0u, channels - 1u}) {
                        std::vector<double> got(4096, -7.0);
                        ASSERT_TRUE(wav_read_channel(&w, c, start, got.size(), got.data()));
                        EXPECT_EQ(got, window_of(all, channels, c, start, got.size()))
                            << "start " << start << " channel " << c;
                    }
                }
                EXPECT_FALSE(w.read_failed);
            }
        }
    }
}

TEST(WavWindow, VeryWideFramesAreReadSampleBySample) {
    // 9000 channels of 64-bit float: one frame is larger than a read block.
    const uint16_t channels = 9000;
    const uint64_t frames = 12;
    std::vector<double> x(channels * frames);
    for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>(i % 977) / 1000.0 - 0.4;
    WavLayout layout{8000, channels, WAV_ENCODING_FLOAT64};
    MemoryWav loaded(make_wav(layout, x));
    const WavData &w = loaded;
    for (uint32_t c : {0u, 1u, 4567u, 8999u}) {
        std::vector<double> got(16, -7.0);
        ASSERT_TRUE(wav_read_channel(&w, c, -2, got.size(), got.data()));
        EXPECT_EQ(got, window_of(x, channels, c, -2, got.size())) << c;
    }
}

TEST(WavWindow, AFileThatShrinksAfterLoadingIsAReadFailure) {
    WavLayout layout{8000, 1, WAV_ENCODING_INT16};
    Bytes file = make_wav(layout, sine(8000, 8000, 440.0, 0.5));
    FILE *f = std::tmpfile();
    ASSERT_TRUE(f && std::fwrite(file.data(), 1, file.size(), f) == file.size() &&
                std::fseek(f, 0, SEEK_SET) == 0);
    WavData w;
    ASSERT_TRUE(wav_load_stream(f, &w));
    ASSERT_EQ(ftruncate(fileno(f), 1000), 0);
    std::vector<double> got(4096);
    EXPECT_FALSE(wav_read_channel(&w, 0, 2000, got.size(), got.data()));
    EXPECT_TRUE(w.read_failed);
    wav_free(&w);
    std::fclose(f);
}

// The block scan must find the first non-finite value wherever it lies
// relative to its internal stretches, and never flag a finite one.
TEST(WavWindow, NonFiniteScanFindsTheFirstAtEveryPosition) {
    const uint64_t count = 1000;
    for (uint32_t enc : {288u, 320u}) {
        const size_t width = enc == 288 ? 4 : 8;
        // Finite values with extreme exponents: largest, smallest, subnormal.
        std::vector<double> finite = {3.4028234663852886e38, -3.4028234663852886e38, 1.401298464324817e-45,
                                      1.1754943508222875e-38, -0.0};
        if (enc == 320) finite = {1.7976931348623157e308, -1.7976931348623157e308, 4.9e-324, -0.0, 2.2e-308};
        Bytes clean;
        for (uint64_t i = 0; i < count; ++i) put_sample(clean, enc, finite[i % finite.size()]);
        EXPECT_EQ(wav_find_non_finite(clean.data(), count, enc), count);
        for (uint64_t at : {uint64_t{0}, uint64_t{255}, uint64_t{256}, uint64_t{257}, uint64_t{511},
                            uint64_t{767}, uint64_t{768}, uint64_t{999}}) {
            for (double bad : {double(INFINITY), double(-INFINITY), double(NAN)}) {
                Bytes b = clean;
                Bytes one;
                put_sample(one, enc, bad);
                std::copy(one.begin(), one.end(), b.begin() + static_cast<std::ptrdiff_t>(at * width));
                // A second one later must not hide the first.
                if (at + 100 < count) {
                    std::copy(one.begin(), one.end(),
                              b.begin() + static_cast<std::ptrdiff_t>((at + 100) * width));
                }
                EXPECT_EQ(wav_find_non_finite(b.data(), count, enc), at) << enc << " " << bad;
            }
        }
    }
    Bytes ints(4000, 0xFF);
    EXPECT_EQ(wav_find_non_finite(ints.data(), 1000, WAV_ENCODING_INT32), 1000u);
}

} // namespace
