#include "editor/BassKeyboard.h"

namespace zumbal {

BassKeyboard::BassKeyboard(QWidget* client) : QObject(client) {
    static constexpr std::array<const char*, 12> letters{"S", "D", "F", "G", "H", "J",
                                                         "K", "E", "R", "Y", "U", "I"};
    static constexpr std::array<int, 5> blackLefts{13, 32, 70, 89, 108};
    QFont font("Arial");
    font.setPixelSize(10);
    font.setBold(true);
    for (int i = 0; i < 12; ++i) {
        StaticTN[i] = new QLabel(QString::fromLatin1(letters[i]), client);
        const bool white = i < 7;
        // Out of sight, 100 px below the keyboard, until FastSwitch mode shows them.
        StaticTN[i]->setGeometry(white ? 4 + 19 * i : blackLefts[i - 7], white ? 525 : 485, 12, 12);
        StaticTN[i]->setFont(font);
        StaticTN[i]->setAlignment(Qt::AlignCenter);
        StaticTN[i]->setStyleSheet(white ? QStringLiteral("color: #202020;")
                                         : QStringLiteral("color: #F0F0F0;"));
        StaticTN[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    const std::array<QString, 2> captions{QStringLiteral("UP"), QStringLiteral("DOWN")};
    const std::array<QString, 2> keys{QStringLiteral("Q"), QStringLiteral("A")};
    QFont small("Arial");
    small.setPixelSize(9);
    small.setBold(true);
    for (int i = 0; i < 2; ++i) {
        BevelB[i] = new QPushButton(captions[i], client);
        BevelB[i]->setGeometry(109, 257 + 17 * i, 36, 16);
        BevelB[i]->setFont(small);
        BevelB[i]->setFocusPolicy(Qt::NoFocus);
        BevelB[i]->setToolTip(QStringLiteral("Transpose Bass Track half tone %1\nIn Fast Switch "
                                             "Mode, you should press key \"%2\"")
                                  .arg(captions[i], keys[i]));
        connect(BevelB[i], &QPushButton::clicked, this,
                [this, i] { emit transposeRequested(1 - 2 * i); });
    }
}

void BassKeyboard::crea_notearray() {
    notearray = zumbal::crea_notearray();
}

std::optional<int> BassKeyboard::noteAt(int x, int y) const {
    if (y <= kKeyboardTop)
        return std::nullopt;
    return keyboardNote(x, y, notearray);
}

void BassKeyboard::showLetters(bool show) {
    const bool shown = StaticTN[0]->y() < 500;
    if (show == shown)
        return;
    for (QLabel* label : StaticTN)
        label->move(label->x(), label->y() + (show ? -100 : 100));
}

} // namespace zumbal
