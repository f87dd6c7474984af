#include "model/NumberText.h"

#include <charconv>
#include <limits>

namespace zumbal {

int leadingNumber(const std::string& text) {
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    if (start < text.size() && text[start] == '+')
        ++start;
    long long value = 0;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (end == first)
        return 0;
    if (error == std::errc::result_out_of_range)
        return *first == '-' ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

} // namespace zumbal
