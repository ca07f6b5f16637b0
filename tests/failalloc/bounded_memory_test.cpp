// Files that claim more than they hold must fail before any large
// allocation, and files at or past 2 GiB are refused without being read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "support/generic_reason.hpp"
#include "support/run_process.hpp"
#include "support/wav_writer.hpp"

namespace {

const std::string GENERIC = GENERIC_REASON;

struct Measured {
    ProcessResult run;
    unsigned long calls = 0;
    unsigned long largest = 0;
};

Measured measure(const std::string &wav) {
    std::string counter = wav + ".count";
    Measured m;
    m.run = run_process({TONESIFT_FAILALLOC_BIN, "--input", wav, "--at-sample", "0", "--csv"},
                        {"TONESIFT_ALLOC_REPORT=" + counter});
    std::sscanf(read_file_text(counter).c_str(), "%lu %lu", &m.calls, &m.largest);
    return m;
}

Bytes mono_fmt() { return chunk("fmt ", fmt_body(WavSpec{8000, 1, WAV_ENCODING_INT16})); }

// A chunk whose size field claims `claimed` bytes but holds `real_bytes`.
Bytes with_size(const char *id, uint32_t claimed, size_t real_bytes) {
    return cat({header_of(id, claimed), Bytes(real_bytes, 0x11)});
}

struct Claim {
    const char *name;
    Bytes file;
};

TEST(BoundedMemory, ClaimsBeyondTheFileFailBeforeAnyLargeAllocation) {
    const Claim cases[] = {
        {"data_ffffffff", riff(cat({mono_fmt(), with_size("data", 0xFFFFFFFFu, 64)}))},
        {"data_one_short", riff(cat({mono_fmt(), with_size("data", 130, 128)}))},
        {"extra_huge", riff(cat({mono_fmt(), with_size("LIST", 0x7FFFFFF0u, 16)}))},
        {"extra_before_data", riff(cat({mono_fmt(), with_size("junk", 0xFFFFFFF0u, 8), chunk("data", Bytes(64, 0))}))},
    };
    for (const Claim &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = write_temp(std::string("claim_") + c.name + ".wav", c.file);
        Measured m = measure(path);
        EXPECT_EQ(m.run.status, 1);
        EXPECT_EQ(m.run.out, "");
        EXPECT_EQ(m.run.err, "error: failed to read '" + path + "' (" + GENERIC + ")\n");
        EXPECT_LE(m.largest, c.file.size()) << "an allocation was sized by a header field";
    }
}

// A query reads only its window: what it allocates does not grow with the
// length of the recording, for integer and float data alike.
TEST(BoundedMemory, AllocationsDoNotGrowWithTheRecording) {
    for (uint32_t enc : {WAV_ENCODING_INT24, WAV_ENCODING_FLOAT32}) {
        unsigned long largest[2] = {0, 0};
        unsigned long calls[2] = {0, 0};
        for (int i = 0; i < 2; ++i) {
            const uint64_t frames = i == 0 ? 48000 : 30 * 48000;
            std::string path = temp_dir() + "/grow_" + std::to_string(enc) + "_" + std::to_string(i) + ".wav";
            auto x = interleave({sine(48000, frames, 440.0, 0.5), sine(48000, frames, 880.0, 0.5)});
            ASSERT_TRUE(write_file(path, make_wav(WavSpec{48000, 2, enc}, x)));
            Measured m = measure(path);
            ASSERT_EQ(m.run.status, 0) << m.run.err;
            largest[i] = m.largest;
            calls[i] = m.calls;
            std::remove(path.c_str());
        }
        SCOPED_TRACE(enc);
        EXPECT_EQ(calls[0], calls[1]);
        EXPECT_LE(largest[1], 1u << 20);
        EXPECT_LE(largest[1], largest[0] == 0 ? 0 : std::max(largest[0], 1ul << 20));
    }
}

// Sparse files make multi-gigabyte inputs cheap; nothing past 2 GiB is read.
TEST(BoundedMemory, FilesOfTwoGibibytesOrMoreAreRefused) {
    for (uint64_t size : {uint64_t{2147483648u}, uint64_t{5000000000u}}) {
        std::string path = temp_dir() + "/sparse_" + std::to_string(size) + ".wav";
        ASSERT_TRUE(write_file(path, riff(cat({mono_fmt(), chunk("data", Bytes(1024, 0))}))));
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
        Measured m = measure(path);
        SCOPED_TRACE(size);
        EXPECT_EQ(m.run.status, 1);
        EXPECT_EQ(m.run.out, "");
        EXPECT_EQ(m.run.err, "error: failed to read '" + path + "' (" + GENERIC + ")\n");
        EXPECT_EQ(m.calls, 0u);
        std::remove(path.c_str());
    }
}

TEST(BoundedMemory, AMillionTinyChunksLoad) {
    Bytes chunks = mono_fmt();
    const Bytes tiny = header_of("tiny", 0);
    chunks.reserve(chunks.size() + 8u * 1000000u + 64);
    for (int i = 0; i < 1000000; ++i) chunks.insert(chunks.end(), tiny.begin(), tiny.end());
    chunks = cat({chunks, chunk("data", data_body(WavSpec{8000, 1, WAV_ENCODING_INT16}, sine(8000, 8000, 1000.0, 0.5)))});
    std::string path = temp_dir() + "/many_chunks.wav";
    ASSERT_TRUE(write_file(path, riff(chunks)));
    Measured m = measure(path);
    EXPECT_EQ(m.run.status, 0) << m.run.err;
    // Geometric growth: a handful of reallocations, not one per chunk.
    EXPECT_LT(m.calls, 100u);
}

} // namespace
