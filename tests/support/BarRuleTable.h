#pragma once

#include <vector>

namespace zumbal::test {

// The strokes one pass of the bar plays under each combination of the 3/4
// and ternary flags: the one table that the stroke clock, loading and the
// MIDI export are all checked against.
struct BarCase {
    bool threeFour, ternary;
    std::vector<int> played;
};

inline const std::vector<BarCase> kBarCases{
    {false, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    {true, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
    {false, true, {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15}},
    {true, true, {1, 2, 3, 5, 6, 7, 9, 10, 11}},
};

} // namespace zumbal::test
