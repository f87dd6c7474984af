// The main window's grid, on-screen keyboard and bass line.

#include "assets/Resources.h"
#include "editor/GridGeometry.h"
#include "editor/Window_t1.h"
#include "model/NumberText.h"

#include <cmath>

namespace zumbal {

void Window_t1::buildKeyboardControls() {
    static constexpr std::array<const char*, 12> letters{"S", "D", "F", "G", "H", "J",
                                                         "K", "E", "R", "Y", "U", "I"};
    static constexpr std::array<int, 5> blackLefts{13, 32, 70, 89, 108};
    QFont font("Arial");
    font.setPixelSize(10);
    font.setBold(true);
    for (int i = 0; i < 12; ++i) {
        StaticTN[i] = new QLabel(QString::fromLatin1(letters[i]), m_client);
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
        BevelB[i] = new QPushButton(captions[i], m_client);
        BevelB[i]->setGeometry(109, 257 + 17 * i, 36, 16);
        BevelB[i]->setFont(small);
        BevelB[i]->setFocusPolicy(Qt::NoFocus);
        BevelB[i]->setToolTip(QStringLiteral("Transpose Bass Track half tone %1\nIn Fast Switch "
                                             "Mode, you should press key \"%2\"")
                                  .arg(captions[i], keys[i]));
        connect(BevelB[i], &QPushButton::clicked, this, [this, i] { BevelB_Action(i); });
    }
}

void Window_t1::crea_notearray() {
    notearray = zumbal::crea_notearray();
}

void Window_t1::crea_p_picture() {
    const qreal dpr = devicePixelRatioF();
    pictures.crea_p_picture(dpr);
    m_client->setPicture(picture("sfondo", dpr));
    CanvasImageW->setBackdrop(picture("maschera", dpr));
}

void Window_t1::refreshGrid() {
    CanvasImageW->refresh();
}

void Window_t1::disegna_drum(int cell, int x, int y) {
    if (cell < 0 || cell >= kCells)
        return;
    if (x == kNoOrigin) {
        const Point origin = cellOrigin(cell);
        x = origin.x;
        y = origin.y;
    }
    const qreal dpr = devicePixelRatioF();
    const int v = m_g.pp[cell];
    const auto draw = [&](const QPixmap& picture, int px, int py) {
        CanvasImageW->drawPicture(picture, {px, py});
    };
    if (v == kHit || v == kRandomHit) {
        draw(picture(v == kHit ? "t1on4" : "t1rnd", dpr), x, y);
        // The grid follows the instrument field as it is typed, not the stored sound.
        const int note = leadingNumber(EditFI[cell / kStrokes]->text().toStdString());
        const QPixmap& instrument = pictures.instrument(note);
        const QSizeF size = instrument.deviceIndependentSize();
        draw(instrument, x + static_cast<int>((20 - size.width()) / 2) + 8,
             y + static_cast<int>((20 - size.height()) / 2) + 7);
    } else if (v == kRest || v == kBassRest) {
        draw(picture("t1off4", dpr), x, y);
    } else if (v == kDisabled) {
        draw(picture("t1offdis4", dpr), x, y);
    } else if (v > kBassRest) {
        draw(picture("t1on4", dpr), x, y);
        draw(pictures.p[4], x + 9, y + 8);
    }
}

void Window_t1::labelBassCell(int cell) {
    pictures.basso_testo.text = QString::fromStdString(crea_basso_testo(m_g.pp[cell]));
    pictures.drawBassLabel();
    disegna_drum(cell, kNoOrigin, 0);
}

void Window_t1::CanvasImageW_MouseDown(int x, int y, bool contextual) {
    const std::optional<CellHit> hit = hitTest(x, y);
    if (!hit || m_g.pp[hit->cell] == kDisabled)
        return;
    if (contextual) {
        const QPoint client = m_client->mapToGlobal(QPoint(0, 0));
        const QPoint cell = kGridPosition + QPoint(hit->origin.x, hit->origin.y);
        emit volumeWindowRequested(false, hit->cell / kStrokes, hit->cell % kStrokes,
                                   client + cell - QPoint(137, 30));
        return;
    }
    gestisci_drum(hit->cell, hit->origin.x, hit->origin.y);
}

void Window_t1::gestisci_drum(int cell, int x, int y) {
    if (cell < kFirstBassCell) {
        m_g.pp[cell] = toggledDrumCode(m_g.pp[cell]);
        disegna_drum(cell, x, y);
        return;
    }
    if (m_g.pp[cell] > kBassRest && cell == m_g.key_tasto_indice) {
        m_g.pp[cell] = kBassRest;
        disegna_drum(cell, x, y);
    }
    const int previous = m_g.key_tasto_indice;
    if (m_g.pp[previous] > kBassRest)
        labelBassCell(previous);
    else
        disegna_drum(previous, kNoOrigin, 0);
    m_g.key_tasto_indice = cell;
    CanvasImageW->drawPicture(pictures.p[3], {x + 9, y + 8});
}

void Window_t1::Event_MouseDown(int x, int y) {
    if (y <= kKeyboardTop)
        return;
    const int cell = m_g.key_tasto_indice;
    m_g.pp[cell] = keyboardNote(x, y, notearray);
    labelBassCell(cell);
}

void Window_t1::fillDrumTrack(int track, int state) {
    zumbal::fillDrumTrack(m_g, track, state, [this](int c) { disegna_drum(c, kNoOrigin, 0); });
}

void Window_t1::transpose(int n) {
    zumbal::transpose(m_g, n, [this](int c) { labelBassCell(c); });
}

void Window_t1::relabelBassCells() {
    for (int c = kFirstBassCell; c < kCells; ++c)
        if (m_g.pp[c] > kBassRest)
            labelBassCell(c);
}

void Window_t1::BevelB_Action(int index) {
    transpose(1 - 2 * index);
}

} // namespace zumbal
