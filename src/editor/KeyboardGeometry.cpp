#include "editor/KeyboardGeometry.h"

#include <algorithm>
#include <cmath>

namespace zumbal {

NoteArray crea_notearray() {
    static constexpr std::array<int, 21> lower{0, 0, 0, 2, 2, 2, 4, 4,  4,  5, 5,
                                               5, 7, 7, 7, 9, 9, 9, 11, 11, 11};
    static constexpr std::array<int, 21> upper{0, 0, 1, 1, 2, 3, 3,  4,  4,  5, 5,
                                               6, 6, 7, 8, 8, 9, 10, 10, 11, 11};
    NoteArray notearray{};
    for (int k = 0; k < 21; ++k)
        notearray[k] = {lower[k], upper[k]};
    return notearray;
}

int keyboardNote(int x, int y, const NoteArray& notearray) {
    const int row = y < kBlackKeyBottom ? 1 : 0;
    const int octave =
        std::clamp(static_cast<int>(std::floor(x / static_cast<double>(kOctaveWidth))), 0, 5);
    const int k = std::clamp(
        static_cast<int>(std::floor((x - kOctaveWidth * octave) / double(kOctaveWidth) * 21.0)), 0,
        20);
    return notearray[k][row] + 24 + 12 * octave;
}

} // namespace zumbal
