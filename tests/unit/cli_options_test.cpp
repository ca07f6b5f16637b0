// Option value conversions; the usage text is checked on the binary.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "cli/cli.hpp"

namespace {

TEST(ParseIntOption, StrtolRulesSaturatedTo32Bits) {
    const std::pair<const char *, int32_t> rows[] = {
        {"42", 42},
        {"  -7x", -7},
        {"\t+12", 12},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"0x10", 0},
        {"1e3", 1},
        {"4.9", 4},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"99999999999", 2147483647},
        {"99999999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", -2147483647 - 1},
        {"-99999999999999999999999", -2147483647 - 1},
    };
    for (const auto &[text, want] : rows) EXPECT_EQ(parse_int_option(text), want) << '"' << text << '"';
}

TEST(ParseNumberOption, AtofRules) {
    const std::pair<const char *, double> rows[] = {
        {"1.5", 1.5},    {" -1e-3junk", -0.001}, {"abc", 0.0},  {"", 0.0},        {".5", 0.5},
        {"-0.00001", -0.00001}, {"1e200", 1e200}, {"+2", 2.0}, {"1,5", 1.0}, {"0x10", 16.0},
    };
    for (const auto &[text, want] : rows) EXPECT_EQ(parse_number_option(text), want) << '"' << text << '"';
    EXPECT_TRUE(std::isinf(parse_number_option("inf")));
    EXPECT_TRUE(std::isnan(parse_number_option("nan")));
}

} // namespace
