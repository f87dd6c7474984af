#pragma once

#include <string>

namespace zumbal {

struct FilteredText {
    std::string text;
    int cursor;
    bool operator==(const FilteredText&) const = default;
};

// Keeps the characters of an edited text that `allowed` accepts, wherever
// they came from (typed, pasted or dropped), and keeps the caret after the
// same characters.
FilteredText keepOnly(const std::string& text, int cursor, bool (*allowed)(char));

// A numeric field: digits only.
FilteredText keepDigits(const std::string& text, int cursor);

// A loop name: ASCII letters, digits and spaces only, so that a name is
// always a plain file name inside the loops folder.
FilteredText keepNameCharacters(const std::string& text, int cursor);

} // namespace zumbal
