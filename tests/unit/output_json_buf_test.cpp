// The bounded buffer the JSON document is built in, at limits no query
// reaches; the document itself is in tests/cases/outputs.test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/group_thousands.hpp"
#include "output/json_writer.hpp"

namespace {

// The callers' buffers are not cleared first, so the terminator must be written.
TEST(GroupThousands, WritesItsOwnTerminator) {
    char buf[32];
    std::memset(buf, 'X', sizeof buf);
    group_thousands(4294967295u, buf, sizeof buf);
    EXPECT_STREQ(buf, "4,294,967,295");
}

struct Buf {
    std::vector<char> bytes;
    JsonBuf jb;
    explicit Buf(size_t cap) : bytes(cap + 8, 'X'), jb{bytes.data(), cap, 0} { json_begin(&jb); }
    std::string text() const { return std::string(jb.data, jb.length); }
};

// A piece goes in whole with room for its terminator, or not at all; later,
// smaller pieces are still tried, and json_begin starts over.
TEST(JsonBuf, PieceThatDoesNotFitIsDroppedWhole) {
    Buf b(10);
    EXPECT_FALSE(json_append(&b.jb, "12345678"));
    EXPECT_EQ(b.bytes[2], '\0');
    EXPECT_TRUE(json_append(&b.jb, "1234567"));
    EXPECT_EQ(std::string(b.bytes.data(), 11), std::string("{\n1234567\0X", 11));
    EXPECT_FALSE(json_end(&b.jb));
    json_appendf(&b.jb, "%d", 1);
    EXPECT_EQ(b.jb.length, 9u);
    ASSERT_TRUE(json_begin(&b.jb) && json_end(&b.jb));
    EXPECT_EQ(b.text(), "{\n}\n");
    Buf tiny(2), three(3);
    EXPECT_EQ(tiny.jb.length, 0u);
    EXPECT_EQ(three.text(), "{\n");
}

// Lines longer than their buffers are cut to buffer size minus one; a string
// escapes into at most 511 bytes or is refused; a line that escapes but does
// not fit the document is not appended.
TEST(JsonBuf, LineLimits) {
    const std::string k200(200, 'k'), tabs(255, '\t');
    struct Cut {
        size_t kept;
        bool (*add)(JsonBuf *, const char *);
    } const cuts[] = {
        {127, [](JsonBuf *j, const char *k) { return json_add_int(j, k, 1, true); }},
        {159, [](JsonBuf *j, const char *k) { return json_add_long(j, k, 1, true); }},
        {159, [](JsonBuf *j, const char *k) { return json_add_double(j, k, 1.0, true); }},
    };
    for (const auto &c : cuts) {
        Buf b(4096);
        EXPECT_TRUE(c.add(&b.jb, k200.c_str()));
        EXPECT_EQ(b.text().size(), 2 + c.kept);
    }
    Buf b(4096);
    json_appendf(&b.jb, "%s", std::string(300, 'z').c_str());
    EXPECT_EQ(b.text().size(), 2u + 255u);
    std::string escaped;
    for (int i = 0; i < 255; ++i) escaped += "\\t";
    for (const auto &[value, line] :
         std::vector<std::pair<std::string, std::string>>{{tabs + "a", "    \"k\": \"" + escaped + "a\"\n"},
                                                          {tabs + "ab", ""},
                                                          {std::string(256, '\\'), ""}}) {
        Buf s(2048);
        EXPECT_EQ(json_add_string(&s.jb, "k", value.c_str(), false), !line.empty());
        EXPECT_EQ(s.text(), "{\n" + line);
    }
    Buf small(20);
    EXPECT_FALSE(json_add_string(&small.jb, "k", "0123456789", true));
    EXPECT_TRUE(json_add_string(&small.jb, "k", "01", true));
}

} // namespace
