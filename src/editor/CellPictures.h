#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

#include <array>

namespace zumbal {

// `basso_testo`: the text shape of a bass note's label.
struct BassLabel {
    QFont font;
    QColor colour;
    QString text;
};

// The small pictures the grid draws into its cells: one instrument picture
// per drum note, the bass selection marker p(3), the label scratch
// picture p(4) and the corner mark of a step that varies. Made at the
// screen's pixel ratio.
struct CellPictures {
    static constexpr int kSmall = 18;
    static constexpr int kMarkSize = 9;

    std::array<QPixmap, 128> pic_ins;
    std::array<QPixmap, 5> p;
    QPixmap variedMark;
    BassLabel basso_testo;

    void crea_p_picture(qreal devicePixelRatio);
    // Clears p(4) and draws the label's text into it, centred on (9, 12).
    void drawBassLabel();
    // The instrument picture of a note; notes outside 0..127 show the default.
    const QPixmap& instrument(int note) const;
};

inline const QColor kBassLabelBackground(200, 240, 200);

} // namespace zumbal
