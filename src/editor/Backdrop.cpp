#include "editor/Backdrop.h"

#include "assets/Resources.h"

#include <QMouseEvent>
#include <QPainter>

namespace zumbal {

Backdrop::Backdrop(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Backdrop::paintEvent(QPaintEvent*) {
    if (devicePixelRatioF() != m_ratio) {
        m_ratio = devicePixelRatioF();
        m_picture = picture("sfondo", m_ratio);
    }
    QPainter painter(this);
    painter.fillRect(rect(), QColor(143, 143, 143));
    if (!m_picture.isNull())
        painter.drawPixmap(0, 0, m_picture);
}

void Backdrop::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit mouseDown(at.x(), at.y());
}

} // namespace zumbal
