#pragma once

#include <string>

namespace zumbal {

// The number at the start of a text, 0 when there is none: "12abc" is 12,
// "abc" 0, "-1" -1, "7.9" 7. Values beyond the integer range saturate.
int leadingNumber(const std::string& text);

} // namespace zumbal
