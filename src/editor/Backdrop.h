#pragma once

#include <QPixmap>
#include <QWidget>

namespace zumbal {

// The main window's client area: shows the window's backdrop picture, made
// again when the screen's pixel ratio changes, and reports clicks that hit no
// control.
class Backdrop : public QWidget {
    Q_OBJECT
public:
    explicit Backdrop(QWidget* parent = nullptr);

signals:
    void mouseDown(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPixmap m_picture;
    qreal m_ratio = 0; // of the picture; 0 before it is made
};

} // namespace zumbal
