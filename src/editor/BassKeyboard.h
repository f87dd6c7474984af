#pragma once

#include "editor/KeyboardGeometry.h"

#include <QLabel>
#include <QObject>
#include <QPushButton>

#include <array>
#include <optional>

namespace zumbal {

// The on-screen keyboard below the grid, drawn in the window's backdrop: the
// note under a click, the FastSwitch letters on its keys and the two
// transposition buttons beside the bass track.
class BassKeyboard : public QObject {
    Q_OBJECT
public:
    // The labels and buttons are children of `client`.
    explicit BassKeyboard(QWidget* client);

    void crea_notearray();
    // The note under a click at (x, y) in the client area, if it hit the keyboard.
    std::optional<int> noteAt(int x, int y) const;
    // The letters show on the keys in FastSwitch mode only.
    void showLetters(bool show);

    std::array<QPushButton*, 2> BevelB{};
    std::array<QLabel*, 12> StaticTN{};
    NoteArray notearray{};

signals:
    // "UP" asks for +1, "DOWN" for -1.
    void transposeRequested(int semitones);
};

} // namespace zumbal
