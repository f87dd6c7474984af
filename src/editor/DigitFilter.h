#pragma once

#include <string>

namespace zumbal {

struct FilteredText {
    std::string text;
    int cursor;
    bool operator==(const FilteredText&) const = default;
};

// Keeps only the digits of a numeric field's text, wherever they came from
// (typed, pasted or dropped), and keeps the caret after the same digits.
FilteredText keepDigits(const std::string& text, int cursor);

} // namespace zumbal
