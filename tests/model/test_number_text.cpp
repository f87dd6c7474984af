#include "model/NumberText.h"

#include <gtest/gtest.h>

#include <climits>

namespace zumbal {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStartOrZero) {
    const std::vector<std::pair<std::string, int>> cases{{"12abc", 12},
                                                         {"abc", 0},
                                                         {"-1", -1},
                                                         {"", 0},
                                                         {"130", 130},
                                                         {"7.9", 7},
                                                         {" 42", 42},
                                                         {"+5", 5},
                                                         {"-", 0},
                                                         {"0x10", 0},
                                                         {"99999999999999999999", INT_MAX},
                                                         {"-99999999999999999999", INT_MIN},
                                                         {"3000000000", INT_MAX}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(leadingNumber(text), value) << '"' << text << '"';
}

} // namespace
} // namespace zumbal
