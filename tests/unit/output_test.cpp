// The bounded buffers the JSON document is built in, at limits no query
// reaches; the document itself is in tests/cases/outputs.test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/group_thousands.hpp"
#include "output/json_writer.hpp"

namespace {

// A piece goes in whole with room for its terminator, or not at all, and
// later, smaller pieces are still tried; an int line is cut to its 128-byte
// buffer, a long one to 160. The grouping of thousands writes its own
// terminator: its callers don't clear their buffers.
TEST(JsonBuf, LimitsNoQueryReaches) {
    std::vector<char> bytes(20, 'X'), wide(4096);
    JsonBuf b{bytes.data(), 10, 0}, i{wide.data(), 2048, 0}, l{wide.data() + 2048, 2048, 0};
    ASSERT_TRUE(json_begin(&b) && json_begin(&i) && json_begin(&l));
    EXPECT_FALSE(json_append(&b, "12345678"));
    EXPECT_TRUE(json_append(&b, "1234567"));
    EXPECT_EQ(std::string(bytes.data(), 11), std::string("{\n1234567\0X", 11));
    EXPECT_FALSE(json_end(&b));
    const std::string key(200, 'k');
    EXPECT_TRUE(json_add_int(&i, key.c_str(), 1, true) && json_add_long(&l, key.c_str(), 1, true));
    EXPECT_EQ(i.length, 2 + 127u);
    EXPECT_EQ(l.length, 2 + 159u);
    char group[32];
    std::memset(group, 'X', sizeof group);
    group_thousands(4294967295u, group, sizeof group);
    EXPECT_STREQ(group, "4,294,967,295");
}

} // namespace
