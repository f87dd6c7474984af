#pragma once

#include "editor/Window_t1.h"
#include "model/globali.h"

#include <QWidget>

namespace zumbal {

// "Drums": a picture of the General MIDI percussion sounds, 3 columns of 16,
// from which a drum track's instrument is picked with a click. A highlight
// follows the mouse; leaving the window hides it without a choice.
class drumswin : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCellWidth = 194;
    static constexpr int kCellHeight = 21;

    drumswin(const globali& g, Window_t1& main, QWidget* parent = nullptr);

    // Opens beside the instrument field at `y` in the main window, for drum track `track`.
    void apri(int y, int track);
    void Event_MouseMove(int x, int y);
    void Event_MouseDown(int x, int y);

    int strum = 35;
    int cont_m = 0;
    QWidget* Canva_sel = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void highlight(int column, int row);

    const globali& m_g;
    Window_t1& m_main;
    QPixmap m_strumenti;
};

} // namespace zumbal
