#include "widgets/TextFilter.h"

namespace zumbal {

FilteredText keepOnly(const std::string& text, int cursor, bool (*allowed)(char)) {
    FilteredText out{{}, 0};
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        if (!allowed(text[i]))
            continue;
        out.text += text[i];
        if (i < cursor)
            ++out.cursor;
    }
    return out;
}

FilteredText keepDigits(const std::string& text, int cursor) {
    return keepOnly(text, cursor, [](char c) { return c >= '0' && c <= '9'; });
}

FilteredText keepNameCharacters(const std::string& text, int cursor) {
    return keepOnly(text, cursor, [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               c == ' ';
    });
}

} // namespace zumbal
