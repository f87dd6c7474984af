#pragma once

#include <QPixmap>
#include <QWidget>

namespace zumbal {

// `CanvasImageW`: the loop grid. It shows a surface picture that starts as
// the empty grid; cells are drawn straight onto the surface, and a refresh
// brings the empty grid back.
class GridCanvas : public QWidget {
    Q_OBJECT
public:
    explicit GridCanvas(QWidget* parent = nullptr);

    void setBackdrop(const QPixmap& backdrop);
    void refresh();
    void drawPicture(const QPixmap& picture, QPoint at);
    const QPixmap& surface() const { return m_surface; }

signals:
    // Canvas coordinates; a contextual click is a right-button press or a
    // left press with Control held.
    void mouseDown(int x, int y, bool contextual);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPixmap m_backdrop;
    QPixmap m_surface;
};

// The main window's client area: shows its backdrop and reports clicks that
// hit no control.
class Backdrop : public QWidget {
    Q_OBJECT
public:
    explicit Backdrop(QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture);

signals:
    void mouseDown(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPixmap m_picture;
};

} // namespace zumbal
