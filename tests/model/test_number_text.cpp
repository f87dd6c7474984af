#include "model/NumberText.h"

#include <gtest/gtest.h>

#include <climits>

namespace zumbal {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStartOrZero) {
    // Beyond int, and beyond long long.
    const std::string p10 = "3000000000", n10 = "-" + p10, p20(20, '9'), n20 = "-" + p20;
    const std::vector<std::pair<std::string, int>> cases{
        {"12abc", 12}, {"abc", 0},     {"-1", -1},     {"", 0},        {"130", 130},
        {"7.9", 7},    {" 42", 42},    {"+5", 5},      {"-", 0},       {"0x10", 0},
        {"3e9", 3},    {p10, INT_MAX}, {n10, INT_MIN}, {p20, INT_MAX}, {n20, INT_MIN}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(leadingNumber(text), value) << '"' << text << '"';
}

} // namespace
} // namespace zumbal
