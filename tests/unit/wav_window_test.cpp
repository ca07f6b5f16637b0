// Reading windows on demand must give exactly what decoding the whole data
// chunk at once gives: same values, same silence outside the file, same
// failures, and the same spectrum and peaks downstream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "analysis/analysis.hpp"
#include "support/wav_writer.hpp"
#include "wav/wav.hpp"

namespace {

// The whole-file decode: every sample of the data body, in file order.
std::vector<double> decode_all(const Bytes &body, uint32_t encoding) {
    const WavSampleConverter convert = wav_converter(encoding);
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
    const Layout layouts[] = {{"plain", false, false}, {"fmt_after_data", true, false},
                              {"two_data", false, true}};
    const uint64_t frames = 5000;
    for (uint32_t enc : {16u, 24u, 32u, 288u, 320u}) {
        for (uint16_t channels : {uint16_t{1}, uint16_t{2}, uint16_t{3}, uint16_t{8}}) {
            for (const Layout &layout : layouts) {
                WavSpec wav_format{44100, channels, enc};
                std::vector<std::vector<double>> chans;
                for (uint16_t c = 0; c < channels; ++c)
                    chans.push_back(sine(44100, frames, 100.0 * (c + 1) + 7.0, 0.9 - 0.1 * c, 0.3 * c));
                Bytes body = data_body(wav_format, interleave(chans));
                Bytes fmt = chunk("fmt ", fmt_body(wav_format));
                Bytes data = chunk("data", body);
                Bytes decoy = chunk("data", Bytes(6 * channels * 4, 0x55));
                Bytes file = layout.fmt_after_data ? cat({data, fmt})
                             : layout.decoy_data_first ? cat({fmt, decoy, chunk("JUNK", Bytes{1, 2, 3}), data})
                                                       : cat({fmt, data});
                std::string name = std::string("win_") + layout.name + "_" + std::to_string(enc) + "_" +
                                   std::to_string(channels) + ".wav";
                std::string path = write_temp(name, riff(file));
                SCOPED_TRACE(name);

                WavData w;
                ASSERT_TRUE(wav_load(path.c_str(), &w));
                ASSERT_EQ(w.frames, frames);
                const std::vector<double> all = decode_all(body, enc);
                for (int64_t start : {int64_t{-2048}, int64_t{-1}, int64_t{0}, int64_t{1234}, int64_t{2500},
                                      int64_t{frames - 4096}, int64_t{frames - 10}, int64_t{frames},
                                      int64_t{frames + 100}}) {
                    for (uint32_t c : {0u, channels - 1u}) {
                        std::vector<double> got(4096, -7.0);
                        ASSERT_TRUE(wav_read_channel(&w, c, start, got.size(), got.data()));
                        EXPECT_EQ(got, window_of(all, channels, c, start, got.size()))
                            << "start " << start << " channel " << c;
                    }
                }
                // The spectrum and peaks from the file equal those from memory.
                MemoryWav mem(all, channels, 44100);
                QueryWindow q = make_query_window(44100, 4000, 4096, 0.0, -80.0);
                Peak from_file[MAX_TOP_PEAKS];
                Peak from_memory[MAX_TOP_PEAKS];
                int64_t nf = analyze_channel(w, channels - 1u, q, 8, from_file, MAX_TOP_PEAKS);
                int64_t nm = analyze_channel(mem, channels - 1u, q, 8, from_memory, MAX_TOP_PEAKS);
                ASSERT_EQ(nf, nm);
                ASSERT_GT(nf, 0);
                for (int64_t i = 0; i < nf; ++i) {
                    EXPECT_EQ(from_file[i].frequency_hz, from_memory[i].frequency_hz);
                    EXPECT_EQ(from_file[i].level_db, from_memory[i].level_db);
                }
                EXPECT_FALSE(w.read_failed);
                wav_free(&w);
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
    WavSpec layout{8000, channels, WAV_ENCODING_FLOAT64};
    std::string path = write_temp("wide.wav", make_wav(layout, x));
    WavData w;
    ASSERT_TRUE(wav_load(path.c_str(), &w));
    for (uint32_t c : {0u, 1u, 4567u, 8999u}) {
        std::vector<double> got(16, -7.0);
        ASSERT_TRUE(wav_read_channel(&w, c, -2, got.size(), got.data()));
        EXPECT_EQ(got, window_of(x, channels, c, -2, got.size())) << c;
    }
    wav_free(&w);
}

TEST(WavWindow, NonFiniteAtTheVeryLastSampleOfALongFloatFile) {
    for (uint32_t enc : {288u, 320u}) {
        const uint64_t frames = 20 * 48000; // several scan blocks
        std::vector<double> x = interleave({sine(48000, frames, 440.0, 0.5), sine(48000, frames, 660.0, 0.5)});
        x.back() = enc == 288 ? INFINITY : NAN;
        std::string path = write_temp("last_nan_" + std::to_string(enc) + ".wav",
                                      make_wav(WavSpec{48000, 2, enc}, x));
        WavData w;
        EXPECT_FALSE(wav_load(path.c_str(), &w));
        EXPECT_STREQ(wav_error_text(), "contains NaN or infinite samples, first at frame 959999, channel 1");
    }
}

TEST(WavWindow, AFileThatShrinksAfterLoadingIsAReadFailure) {
    WavSpec layout{8000, 1, WAV_ENCODING_INT16};
    Bytes file = make_wav(layout, sine(8000, 8000, 440.0, 0.5));
    std::string path = write_temp("shrinks.wav", file);
    WavData w;
    ASSERT_TRUE(wav_load(path.c_str(), &w));
    ASSERT_TRUE(write_file(path, Bytes(file.begin(), file.begin() + 1000)));
    std::vector<double> got(4096);
    EXPECT_FALSE(wav_read_channel(&w, 0, 2000, got.size(), got.data()));
    EXPECT_TRUE(w.read_failed);
    wav_free(&w);
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
                    std::copy(one.begin(), one.end(), b.begin() + static_cast<std::ptrdiff_t>((at + 100) * width));
                }
                EXPECT_EQ(wav_find_non_finite(b.data(), count, enc), at) << enc << " " << bad;
            }
        }
    }
    Bytes ints(4000, 0xFF);
    EXPECT_EQ(wav_find_non_finite(ints.data(), 1000, WAV_ENCODING_INT32), 1000u);
}

} // namespace
