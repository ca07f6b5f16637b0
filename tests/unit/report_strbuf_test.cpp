// The page buffer: growth rule, failure without change, the escaping
// appends, the file stem and the time stamp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "report/report.hpp"

namespace {

std::string text_of(const StrBuf &b) { return b.data ? std::string(b.data, b.length) : std::string(); }

struct GrowthCase {
    uint64_t first;    // bytes appended first (0: fresh buffer)
    uint64_t second;   // bytes appended next
    uint64_t capacity; // expected capacity after both
};

TEST(StrBuf, GrowsFrom256ByDoubling) {
    const GrowthCase cases[] = {
        {0, 255, 256}, {0, 256, 512}, {0, 1000, 1024}, {0, 0, 256}, {200, 56, 512}, {200, 55, 256}, {300, 1800, 4096},
    };
    for (const auto &c : cases) {
        StrBuf b;
        strbuf_init(&b);
        if (c.first) {
            ASSERT_TRUE(strbuf_append(&b, std::string(c.first, 'a').c_str()));
        }
        ASSERT_TRUE(strbuf_append(&b, std::string(c.second, 'b').c_str()));
        EXPECT_EQ(b.capacity, c.capacity) << c.first << "+" << c.second;
        EXPECT_EQ(b.length, c.first + c.second);
        EXPECT_EQ(b.data[b.length], '\0');
        EXPECT_EQ(text_of(b), std::string(c.first, 'a') + std::string(c.second, 'b'));
        strbuf_free(&b);
    }
}

// An empty plain append allocates (see the growth table); the escaping
// appends allocate nothing for nothing.
TEST(StrBuf, EscapingEmptyTextsAllocatesNothing) {
    StrBuf b;
    strbuf_init(&b);
    EXPECT_TRUE(strbuf_append_html(&b, ""));
    EXPECT_TRUE(strbuf_append_path_html(&b, ""));
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.capacity, 0u);
    EXPECT_TRUE(strbuf_appendf(&b, "%s", ""));
    EXPECT_EQ(b.capacity, 256u);
    EXPECT_STREQ(b.data, "");
    strbuf_free(&b);
    strbuf_free(&b); // twice is fine
    EXPECT_EQ(b.data, nullptr);
}

TEST(StrBuf, AppendfFormatsLongPiecesWhole) {
    StrBuf b;
    strbuf_init(&b);
    ASSERT_TRUE(strbuf_append(&b, "x="));
    ASSERT_TRUE(strbuf_appendf(&b, "%*d|", 10000, 7));
    EXPECT_EQ(b.length, 10003u);
    EXPECT_EQ(b.capacity, 16384u);
    EXPECT_EQ(std::string(b.data, 4), "x=  ");
    EXPECT_EQ(std::string(b.data + b.length - 2), "7|");
    ASSERT_TRUE(strbuf_appendf(&b, "%.2f;%u;%s;%zu;%c", -0.125, 66150u, "ok", static_cast<size_t>(3), 'z'));
    EXPECT_EQ(std::string(b.data + 10003), "-0.12;66150;ok;3;z");
    ASSERT_TRUE(strbuf_append_char(&b, '!'));
    EXPECT_EQ(b.data[b.length - 1], '!');
    EXPECT_EQ(b.data[b.length], '\0');
    strbuf_free(&b);
}

struct EscapeCase {
    std::string in;
    std::string html;
    std::string path;
};

TEST(StrBuf, EscapingAppends) {
    const EscapeCase cases[] = {
        {"<>&'\"", "&lt;&gt;&amp;&#39;&quot;", "&lt;&gt;&amp;&#39;&quot;"},
        {"\t\n\xc3\xa9", "\t\n\xc3\xa9", "\t\n\xc3\xa9"},
        {"a&b/c.wav", "a&amp;b/c.wav", "a&amp;b/<wbr>c.wav"},
        {"a\\\\b", "a\\\\b", "a\\<wbr>\\<wbr>b"},
        {"C:\\x\\y\\z.wav", "C:\\x\\y\\z.wav", "C:\\<wbr>x\\<wbr>y\\<wbr>z.wav"},
        {"\x01\x7f\xff", "\x01\x7f\xff", "\x01\x7f\xff"},
    };
    for (const auto &c : cases) {
        StrBuf b;
        strbuf_init(&b);
        ASSERT_TRUE(strbuf_append(&b, "["));
        ASSERT_TRUE(strbuf_append_html(&b, c.in.c_str()));
        ASSERT_TRUE(strbuf_append(&b, "]["));
        ASSERT_TRUE(strbuf_append_path_html(&b, c.in.c_str()));
        ASSERT_TRUE(strbuf_append(&b, "]"));
        EXPECT_EQ(text_of(b), "[" + c.html + "][" + c.path + "]") << c.in;
        strbuf_free(&b);
    }
}

// The fast fixed-point append must give printf's bytes for every value the
// chart can meet, ties and signs included.
TEST(StrBuf, FixedAppendMatchesPrintf) {
    std::vector<double> values = {0.0,     -0.0,    0.125,   0.375,  -0.125,   0.005,  1.005,
                                  2.675,   -140.0,  276.0,   12.0,   989.995,  57.9999, 1e-300,
                                  -1e-300, 1e300,   -6.0235, 1e22,   123456.785, INFINITY, -INFINITY,
                                  NAN};
    uint64_t state = 12345;
    for (int i = 0; i < 2000; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        values.push_back(static_cast<double>(static_cast<int64_t>(state >> 20)) / 1e9 - 4000.0);
    }
    for (int decimals : {0, 1, 2, 3, 6}) {
        // A fresh buffer and a filling one: the first grows, the second
        // mostly formats into spare room and sometimes lands on its end.
        StrBuf fast;
        StrBuf slow;
        strbuf_init(&fast);
        strbuf_init(&slow);
        for (double v : values) {
            StrBuf fresh;
            strbuf_init(&fresh);
            ASSERT_TRUE(strbuf_append_fixed(&fresh, v, decimals));
            char want[512];
            std::snprintf(want, sizeof want, "%.*f", decimals, v);
            EXPECT_STREQ(fresh.data, want) << v << " with " << decimals;
            strbuf_free(&fresh);
            ASSERT_TRUE(strbuf_append_fixed(&fast, v, decimals) && strbuf_append_char(&fast, ' '));
            ASSERT_TRUE(strbuf_appendf(&slow, "%.*f ", decimals, v));
        }
        EXPECT_EQ(text_of(fast), text_of(slow)) << decimals;
        EXPECT_EQ(fast.capacity, slow.capacity) << decimals;
        EXPECT_EQ(fast.data[fast.length], '\0');
        strbuf_free(&fast);
        strbuf_free(&slow);
    }
    // Exactly filling the spare room still leaves the terminator's byte.
    for (uint64_t used = 248; used <= 256; ++used) {
        StrBuf b;
        strbuf_init(&b);
        ASSERT_TRUE(strbuf_append(&b, std::string(used, '.').c_str()));
        ASSERT_TRUE(strbuf_append_fixed(&b, -123.456, 2));
        EXPECT_EQ(text_of(b), std::string(used, '.') + "-123.46");
        EXPECT_EQ(b.capacity, used + 7 < 256 ? 256u : 512u) << used;
        strbuf_free(&b);
    }
}

} // namespace
