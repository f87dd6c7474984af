#pragma once

#include "assets/EventSounds.h"

#include <QLabel>
#include <QUrl>
#include <QWidget>

namespace zumbal {

// A label that opens an address when clicked and is underlined while the
// pointer is over it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QUrl target, QWidget* parent);
    const QUrl& target() const { return m_target; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void setUnderline(bool on);
    QUrl m_target;
};

// "Info": the product, its version, the makers and three links over a colour
// gradient. A click outside the links closes it.
class finestrainfo : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;

    explicit finestrainfo(EventSounds& sounds, QWidget* parent = nullptr);
    void Event_Open();

    // Hue runs once round the circle from left to right while the saturation
    // falls from one half to nothing: HSV(x / W, (1 - x / W) / 2, 1).
    static QImage gradient(int width, int height);

    QLabel* StaticText1 = nullptr;
    LinkLabel* StaticText2 = nullptr;
    LinkLabel* StaticText3 = nullptr;
    QLabel* Canvas1 = nullptr;
    QLabel* StaticText4 = nullptr;
    LinkLabel* StaticText5 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    EventSounds& m_sounds;
    QImage m_background;
};

// The application icon with its white drawn transparent.
QPixmap applicationIcon(qreal devicePixelRatio);

} // namespace zumbal
