// The bounded buffer the JSON document is built in, at limits no query
// reaches; the document itself is in tests/cases/outputs.test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/group_thousands.hpp"
#include "output/json_writer.hpp"

namespace {

struct Buf {
    std::vector<char> bytes;
    JsonBuf jb;
    explicit Buf(size_t cap) : bytes(cap + 8, 'X'), jb{bytes.data(), cap, 0} { json_begin(&jb); }
    std::string text() const { return std::string(jb.data, jb.length); }
};

// A piece goes in whole with room for its terminator, or not at all; later,
// smaller pieces are still tried, and json_begin starts over. The grouping
// of thousands writes its own terminator too: its callers don't clear.
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
    EXPECT_EQ(Buf(2).jb.length, 0u);
    EXPECT_EQ(Buf(3).text(), "{\n");
    char group[32];
    std::memset(group, 'X', sizeof group);
    group_thousands(4294967295u, group, sizeof group);
    EXPECT_STREQ(group, "4,294,967,295");
}

// Lines longer than their 128- or 160-byte buffers are cut to one byte less;
// a string escapes into at most 511 bytes or is refused; a line that escapes
// but does not fit the document is not appended.
TEST(JsonBuf, LineLimits) {
    const std::string key(200, 'k'), tabs(255, '\t');
    std::string escaped;
    for (int i = 0; i < 255; ++i) escaped += "\\t";
    Buf i(4096), l(4096), z(4096), s(2048), t(2048), u(2048), small(20);
    EXPECT_TRUE(json_add_int(&i.jb, key.c_str(), 1, true) && json_add_long(&l.jb, key.c_str(), 1, true));
    json_appendf(&z.jb, "%s", std::string(300, 'z').c_str());
    EXPECT_EQ(i.text().size() + l.text().size() + z.text().size(), 2 + 127 + 2 + 159 + 2 + 255u);
    EXPECT_TRUE(json_add_string(&s.jb, "k", (tabs + "a").c_str(), false));
    EXPECT_EQ(s.text(), "{\n    \"k\": \"" + escaped + "a\"\n");
    EXPECT_FALSE(json_add_string(&t.jb, "k", (tabs + "ab").c_str(), false));
    EXPECT_FALSE(json_add_string(&u.jb, "k", std::string(256, '\\').c_str(), false));
    EXPECT_EQ(t.text() + u.text(), "{\n{\n");
    EXPECT_FALSE(json_add_string(&small.jb, "k", "0123456789", true));
    EXPECT_TRUE(json_add_string(&small.jb, "k", "01", true));
}

} // namespace
