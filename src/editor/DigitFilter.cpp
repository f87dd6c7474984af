#include "editor/DigitFilter.h"

#include <cctype>

namespace zumbal {

FilteredText keepDigits(const std::string& text, int cursor) {
    FilteredText out{{}, 0};
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            continue;
        out.text += text[i];
        if (i < cursor)
            ++out.cursor;
    }
    return out;
}

} // namespace zumbal
