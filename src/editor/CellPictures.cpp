#include "editor/CellPictures.h"

#include "assets/Resources.h"

#include <QPainter>

#include <utility>
#include <vector>

namespace zumbal {

namespace {

QPixmap blankPicture(qreal dpr) {
    QPixmap picture(QSize(CellPictures::kSmall, CellPictures::kSmall) * dpr);
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::transparent);
    return picture;
}

QPixmap redCircle(qreal dpr) {
    QPixmap picture = blankPicture(dpr);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 0, 0));
    painter.drawEllipse(QRectF(0, 0, CellPictures::kSmall, CellPictures::kSmall));
    return picture;
}

QPixmap keyboardMarker(qreal dpr) {
    QPixmap picture = blankPicture(dpr);
    QPainter painter(&picture);
    painter.fillRect(1, 1, 16, 17, QColor(50, 0, 0));
    painter.fillRect(0, 0, 16, 17, QColor(255, 0, 0));
    for (int x : {1, 6, 11})
        painter.fillRect(x, 1, 4, 15, Qt::white);
    for (int x : {4, 9})
        painter.fillRect(x, 1, 3, 8, Qt::black);
    return picture;
}

// A blue triangle with a white edge, its right angle in the top right
// corner: it stands out against the orange of a step and the green of a
// bass label alike.
QPixmap cornerTriangle(qreal dpr) {
    const int size = CellPictures::kMarkSize;
    QPixmap picture(QSize(size, size) * dpr);
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(QColor(0, 70, 230));
    const QPointF corners[]{{0.5, 0.5}, {size - 0.5, 0.5}, {size - 0.5, size - 0.5}};
    painter.drawPolygon(corners, 3);
    return picture;
}

// Drum notes that have a picture of their own.
const std::array<std::pair<const char*, std::vector<int>>, 23>& instrumentTable() {
    static const std::array<std::pair<const char*, std::vector<int>>, 23> table{{
        {"d35e36bass", {35, 36}},
        {"d37stick", {37}},
        {"d38e40snare", {38, 40}},
        {"d39hand", {39}},
        {"d41tomlow", {41, 43}},
        {"d42e44e46hihat", {42, 44, 46}},
        {"d43e45e47e48e50tom", {45, 47, 48, 50}},
        {"d49e52e55e57clash", {49, 52, 55, 57}},
        {"d51e59cymbal", {51, 59}},
        {"d53e56bell", {53, 56}},
        {"d54tambo", {54}},
        {"d58vibraslap", {58}},
        {"d60e61bongo", {60, 61}},
        {"d62e63e64conga", {62, 63, 64}},
        {"d65e66timbale", {65, 66}},
        {"d67e68agogo", {67, 68}},
        {"d69cabasa", {69}},
        {"d70maracas", {70}},
        {"d71e72whistle", {71, 72}},
        {"d73e74guiro", {73, 74}},
        {"d75e76e77claves", {75, 76, 77}},
        {"d78e79cuica", {78, 79}},
        {"d81e80triangle", {80, 81}},
    }};
    return table;
}

} // namespace

void CellPictures::crea_p_picture(qreal devicePixelRatio) {
    pic_ins.fill(redCircle(devicePixelRatio));
    for (const auto& [name, notes] : instrumentTable()) {
        const QPixmap picture = zumbal::picture(name, devicePixelRatio);
        if (picture.isNull())
            continue;
        for (int note : notes)
            pic_ins[note] = picture;
    }
    p[3] = keyboardMarker(devicePixelRatio);
    p[4] = blankPicture(devicePixelRatio);
    p[4].fill(kBassLabelBackground);
    variedMark = cornerTriangle(devicePixelRatio);

    basso_testo.font = QFont(QStringLiteral("Arial"));
    basso_testo.font.setPixelSize(10);
    basso_testo.font.setBold(true);
    basso_testo.colour = QColor(0, 100, 0);
    basso_testo.text = QStringLiteral("0");
}

void CellPictures::drawBassLabel() {
    p[4].fill(kBassLabelBackground);
    QPainter painter(&p[4]);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(basso_testo.font);
    painter.setPen(basso_testo.colour);
    const qreal width = QFontMetricsF(basso_testo.font).horizontalAdvance(basso_testo.text);
    painter.drawText(QPointF(9 - width / 2, 12), basso_testo.text);
}

const QPixmap& CellPictures::instrument(int note) const {
    return pic_ins[note >= 0 && note < 128 ? note : 0];
}

} // namespace zumbal
