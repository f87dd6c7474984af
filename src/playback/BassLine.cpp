#include "playback/BassLine.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>

namespace zumbal {

std::string crea_basso_testo(int note) {
    static constexpr std::array<const char*, 12> names{"C",  "C#", "D",  "D#", "E",  "F",
                                                       "F#", "G",  "G#", "A",  "A#", "B"};
    const int o = static_cast<int>(std::floor((note - 36) / 12.0)) + 1;
    const int index = (note - 24) - 12 * o;
    return std::string(names[index]) + std::to_string(o + 1);
}

void transpose(globali& g, int n) {
    // A note from a loop file may be any int: the sum saturates instead of overflowing.
    const auto moved = [n](int value) {
        return static_cast<int>(std::clamp<int64_t>(int64_t{value} + n, INT_MIN, INT_MAX));
    };
    g.trans_start = moved(g.trans_start);
    for (int c = kFirstBassCell; c < kCells; ++c) {
        if (g.pp[c] < 11)
            continue;
        g.pp[c] = moved(g.pp[c]);
    }
}

int fastSwitchTransposition(char32_t key, int trans_start) {
    static constexpr std::array<char, 12> letters{'s', 'e', 'd', 'r', 'f', 'g',
                                                  'y', 'h', 'u', 'j', 'i', 'k'};
    if (key > 127)
        return 0;
    const char k = static_cast<char>(std::tolower(static_cast<int>(key)));
    if (k == 'q')
        return -1;
    if (k == 'a')
        return 1;
    const auto it = std::find(letters.begin(), letters.end(), k);
    return it == letters.end() ? 0 : static_cast<int>(it - letters.begin()) - trans_start;
}

} // namespace zumbal
