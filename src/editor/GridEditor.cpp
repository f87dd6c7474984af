#include "editor/GridEditor.h"

#include "assets/Resources.h"
#include "editor/GridGeometry.h"
#include "model/StepVariation.h"
#include "playback/BassLine.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace zumbal {

namespace {
// Every picture a cell shows lies inside this square from the cell's origin.
constexpr int kCellSize = 32;

QRect cellRect(int cell) {
    const Point o = cellOrigin(cell);
    return {o.x, o.y, kCellSize, kCellSize};
}
} // namespace

GridEditor::GridEditor(const globali& g, QWidget* parent) : QWidget(parent), m_g(g) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (int t = 0; t < kDrumTracks; ++t)
        m_instruments[t] = kDefaultSounds[t];
}

void GridEditor::disegna_drum(int cell, int x, int y) {
    if (cell < 0 || cell >= kCells)
        return;
    CellLook& look = m_looks[cell];
    look.code = m_g.pp[cell];
    look.instrument = cell < kFirstBassCell ? m_instruments[cell / kStrokes] : 0;
    look.label = look.code > kBassRest && cell >= kFirstBassCell
                     ? QString::fromStdString(crea_basso_testo(look.code))
                     : QString();
    look.marked = false;
    look.varied = isStep(cell, look.code) && !isPlain(unpackVariation(m_g.vary[cell]));
    if (x == kNoOrigin)
        repaintCell(cell);
    else
        update(QRect(x, y, kCellSize, kCellSize));
}

void GridEditor::markBassCell(int cell) {
    if (cell < kFirstBassCell || cell >= kCells)
        return;
    m_looks[cell].marked = true;
    repaintCell(cell);
}

void GridEditor::setInstrument(int track, int note) {
    if (track < 0 || track >= kDrumTracks || m_instruments[track] == note)
        return;
    m_instruments[track] = note;
    for (int s = 1; s <= kStrokes; ++s) {
        const int c = cellIndex(track, s);
        if (m_g.pp[c] == kHit || m_g.pp[c] == kRandomHit)
            disegna_drum(c, kNoOrigin, 0);
    }
}

void GridEditor::clear() {
    m_looks.fill(CellLook{});
    update();
}

QImage GridEditor::image() {
    return grab().toImage();
}

void GridEditor::repaintCell(int cell) {
    update(cellRect(cell));
}

void GridEditor::makePictures(qreal devicePixelRatio) {
    m_ratio = devicePixelRatio;
    m_pictures.crea_p_picture(devicePixelRatio);
    m_backdrop = picture("maschera", devicePixelRatio);
    m_labels.clear();
}

const QPixmap& GridEditor::bassLabel(const QString& text) {
    auto it = m_labels.find(text);
    if (it == m_labels.end()) {
        m_pictures.basso_testo.text = text;
        m_pictures.drawBassLabel();
        it = m_labels.emplace(text, m_pictures.p[4].copy()).first;
    }
    return it->second;
}

void GridEditor::paintCell(QPainter& painter, int cell, const CellLook& look) {
    const Point o = cellOrigin(cell);
    const int v = look.code;
    const auto draw = [&](const QPixmap& picture, int x, int y) {
        painter.drawPixmap(QPoint(o.x + x, o.y + y), picture);
    };
    if (v == kHit || v == kRandomHit) {
        draw(picture(v == kHit ? "t1on4" : "t1rnd", m_ratio), 0, 0);
        const QPixmap& instrument = m_pictures.instrument(look.instrument);
        const QSizeF size = instrument.deviceIndependentSize();
        draw(instrument, static_cast<int>((20 - size.width()) / 2) + 8,
             static_cast<int>((20 - size.height()) / 2) + 7);
    } else if (v == kRest || v == kBassRest) {
        draw(picture("t1off4", m_ratio), 0, 0);
    } else if (v == kDisabled) {
        draw(picture("t1offdis4", m_ratio), 0, 0);
    } else if (v > kBassRest) {
        draw(picture("t1on4", m_ratio), 0, 0);
        draw(bassLabel(look.label), 9, 8);
    }
    if (look.varied)
        draw(m_pictures.variedMark, 19, 5);
    if (look.marked)
        draw(m_pictures.p[3], 9, 8);
}

void GridEditor::paintEvent(QPaintEvent* event) {
    if (devicePixelRatioF() != m_ratio)
        makePictures(devicePixelRatioF());
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.fillRect(rect(), QColor(143, 143, 143));
    painter.drawPixmap(0, 0, m_backdrop);
    for (int c = 0; c < kCells; ++c)
        if (m_looks[c].code != kNoLook || m_looks[c].marked)
            if (event->region().intersects(cellRect(c)))
                paintCell(painter, c, m_looks[c]);
}

void GridEditor::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::MiddleButton) {
        emit middleDown(at.x(), at.y());
        return;
    }
    const bool contextual =
        event->button() == Qt::RightButton ||
        (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ControlModifier));
    emit mouseDown(at.x(), at.y(), contextual);
}

} // namespace zumbal
