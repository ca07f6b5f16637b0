// The bounded buffer the JSON document is built in, at limits no query
// reaches; the document itself is in tests/cases/outputs.test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/group_thousands.hpp"
#include "output/json_writer.hpp"

namespace {

// The callers' buffers are not cleared first, so the terminator must be
// written; the tables see only the digits.
TEST(GroupThousands, WritesItsOwnTerminator) {
    for (const auto &[v, want] :
         {std::pair<uint64_t, const char *>{0, "0"}, {1000, "1,000"}, {4294967295u, "4,294,967,295"}}) {
        char buf[32];
        std::memset(buf, 'X', sizeof buf);
        group_thousands(v, buf, sizeof buf);
        EXPECT_STREQ(buf, want) << v;
    }
}

struct Buf {
    std::vector<char> bytes;
    JsonBuf jb;
    explicit Buf(size_t cap) : bytes(cap + 8, 'X'), jb{bytes.data(), cap, 0} {}
    std::string text() const { return std::string(jb.data, jb.length); }
};

TEST(JsonBufRule, PieceThatDoesNotFitIsDroppedWhole) {
    Buf b(10);
    ASSERT_TRUE(json_begin(&b.jb));
    EXPECT_EQ(b.text(), "{\n");
    EXPECT_FALSE(json_append(&b.jb, "12345678")); // 2 + 8 leaves no room for the terminator
    EXPECT_EQ(b.jb.length, 2u);
    EXPECT_EQ(b.bytes[2], '\0');
    EXPECT_TRUE(json_append(&b.jb, "1234567"));
    EXPECT_EQ(b.text(), "{\n1234567");
    EXPECT_EQ(b.bytes[9], '\0');
    EXPECT_EQ(b.bytes[10], 'X');
    EXPECT_FALSE(json_end(&b.jb));
    json_appendf(&b.jb, "%d", 1);
    EXPECT_EQ(b.jb.length, 9u);
    EXPECT_TRUE(json_append(&b.jb, ""));
    // json_begin starts over.
    ASSERT_TRUE(json_begin(&b.jb));
    EXPECT_EQ(b.text(), "{\n");
    EXPECT_EQ(b.bytes[2], '\0');
    EXPECT_TRUE(json_end(&b.jb));
    EXPECT_EQ(b.text(), "{\n}\n");

    Buf tiny(2);
    EXPECT_FALSE(json_begin(&tiny.jb));
    EXPECT_EQ(tiny.jb.length, 0u);
    Buf three(3);
    EXPECT_TRUE(json_begin(&three.jb));
}

TEST(JsonBufRule, MemberLinesAndTheirLimits) {
    Buf b(4096);
    json_begin(&b.jb);
    EXPECT_TRUE(json_add_int(&b.jb, "i", -2147483647 - 1, true));
    EXPECT_TRUE(json_add_long(&b.jb, "l", -1948, false));
    EXPECT_TRUE(json_add_double(&b.jb, "d", -80.0, true));
    EXPECT_TRUE(json_add_double(&b.jb, "e", 85.3333333333, false));
    EXPECT_TRUE(json_add_string(&b.jb, "s", "v", true));
    json_appendf(&b.jb, "[%s|%zu]", "x", static_cast<size_t>(42));
    EXPECT_EQ(b.text(), "{\n    \"i\": -2147483648,\n    \"l\": -1948\n    \"d\": -80.000000,\n"
                        "    \"e\": 85.333333\n    \"s\": \"v\",\n[x|42]");

    // Lines longer than their buffers are cut to buffer size minus one.
    struct Cut {
        size_t kept;
        std::string full;
        bool (*add)(JsonBuf *, const char *);
    };
    const std::string k200(200, 'k'), k100(100, 'k'), v511(511, 'v');
    const Cut cuts[] = {
        {127, "    \"" + k200 + "\": 1,\n",
         [](JsonBuf *j, const char *k) { return json_add_int(j, k, 1, true); }},
        {159, "    \"" + k200 + "\": 1,\n",
         [](JsonBuf *j, const char *k) { return json_add_long(j, k, 1, true); }},
        {599, "    \"" + k100 + "\": \"" + v511 + "\",\n",
         [](JsonBuf *j, const char *k) {
             return json_add_string(j, k, std::string(511, 'v').c_str(), true);
         }},
    };
    for (const auto &c : cuts) {
        Buf cb(4096);
        json_begin(&cb.jb);
        const std::string key = c.full.substr(5, c.full.find('"', 5) - 5);
        EXPECT_TRUE(c.add(&cb.jb, key.c_str()));
        ASSERT_GT(c.full.size(), c.kept);
        EXPECT_EQ(cb.text().substr(2), c.full.substr(0, c.kept));
    }
    Buf fb(4096);
    json_appendf(&fb.jb, "%s", std::string(300, 'z').c_str());
    EXPECT_EQ(fb.text(), std::string(255, 'z'));
}

// Single escapes, raw bytes and the 511-byte limit are checked on real paths in
// tests/cases/paths.test; these are the values made mostly of escapes.
TEST(JsonBufRule, StringEscapingLimit) {
    struct Row {
        std::string value;
        bool ok;
        std::string escaped;
    };
    const std::vector<Row> rows = {
        {std::string(255, '\t') + "a", true,
         [] {
             std::string s;
             for (int i = 0; i < 255; ++i) s += "\\t";
             return s + "a";
         }()},
        {std::string(255, '\r') + "ab", false, ""},
        {std::string(256, '\\'), false, ""},
        {"", true, ""},
    };
    for (const auto &r : rows) {
        Buf b(2048);
        json_begin(&b.jb);
        EXPECT_EQ(json_add_string(&b.jb, "k", r.value.c_str(), false), r.ok) << r.value.size();
        EXPECT_EQ(b.text(), r.ok ? "{\n    \"k\": \"" + r.escaped + "\"\n" : "{\n") << r.value.size();
    }
    // A line that escapes fine but does not fit the buffer is not appended.
    Buf small(20);
    json_begin(&small.jb);
    EXPECT_FALSE(json_add_string(&small.jb, "k", "0123456789", true));
    EXPECT_TRUE(json_add_string(&small.jb, "k", "01", true));
    EXPECT_EQ(small.text(), "{\n    \"k\": \"01\",\n");
}

} // namespace
