#pragma once

#include "editor/CellPictures.h"
#include "model/globali.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <map>

namespace zumbal {

// `CanvasImageW`: the loop grid. Each cell shows the look it was last
// drawn with (`disegna_drum`), taken from the model at that moment; paint
// draws those looks with pictures made at the screen's pixel ratio, and makes
// them again when the ratio changes. Cells never drawn show the empty grid.
class GridEditor : public QWidget {
    Q_OBJECT
public:
    // A cell's origin that the caller leaves to be computed from the cell.
    static constexpr int kNoOrigin = 999;

    GridEditor(const globali& g, QWidget* parent = nullptr);

    // Shows cell `cell` as the model holds it now. `x` and `y` are the
    // cell's origin on the grid, or x = kNoOrigin to have it computed. A bass
    // cell holding a note shows the note's name; a step that varies carries
    // a mark in its corner.
    void disegna_drum(int cell, int x, int y);
    // Marks bass cell `cell` as the one the keyboard writes to, until the cell
    // is drawn again.
    void markBassCell(int cell);
    // The instrument a drum track's hits show; the track's hits are redrawn.
    void setInstrument(int track, int note);
    // Every cell back to the empty grid.
    void clear();

    // The grid as shown, at the widget's pixel ratio.
    QImage image();

signals:
    // Canvas coordinates; a contextual click is a right-button press or a
    // left press with Control held.
    void mouseDown(int x, int y, bool contextual);
    // A middle-button press, in canvas coordinates.
    void middleDown(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct CellLook {
        int code = kNoLook;  // the cell's code when drawn; kNoLook: never drawn
        int instrument = 0;  // the track's instrument, for hits
        QString label;       // the note's name, for bass notes
        bool marked = false; // the keyboard's marker lies on it
        bool varied = false; // a step whose variation is not plain
    };
    static constexpr int kNoLook = -1000;

    void makePictures(qreal devicePixelRatio);
    void paintCell(QPainter& painter, int cell, const CellLook& look);
    const QPixmap& bassLabel(const QString& text);
    void repaintCell(int cell);

    const globali& m_g;
    std::array<CellLook, kCells> m_looks{};
    std::array<int, kDrumTracks> m_instruments{};
    CellPictures m_pictures;
    QPixmap m_backdrop;
    std::map<QString, QPixmap> m_labels; // bass note labels made so far
    qreal m_ratio = 0;                   // of the pictures; 0 before any are made
};

} // namespace zumbal
