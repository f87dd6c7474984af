#include "editor/GridCanvas.h"

#include <QMouseEvent>
#include <QPainter>

namespace zumbal {

GridCanvas::GridCanvas(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GridCanvas::setBackdrop(const QPixmap& backdrop) {
    m_backdrop = backdrop;
    refresh();
}

void GridCanvas::refresh() {
    const qreal dpr = devicePixelRatioF();
    m_surface = QPixmap(size() * dpr);
    m_surface.setDevicePixelRatio(dpr);
    m_surface.fill(QColor(143, 143, 143));
    if (!m_backdrop.isNull()) {
        QPainter painter(&m_surface);
        painter.drawPixmap(0, 0, m_backdrop);
    }
    update();
}

void GridCanvas::drawPicture(const QPixmap& picture, QPoint at) {
    if (picture.isNull() || m_surface.isNull())
        return;
    QPainter painter(&m_surface);
    painter.drawPixmap(at, picture);
    update(QRect(at, picture.deviceIndependentSize().toSize()));
}

void GridCanvas::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, m_surface);
}

void GridCanvas::mousePressEvent(QMouseEvent* event) {
    const bool contextual =
        event->button() == Qt::RightButton ||
        (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ControlModifier));
    const QPoint at = event->position().toPoint();
    emit mouseDown(at.x(), at.y(), contextual);
}

Backdrop::Backdrop(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Backdrop::setPicture(const QPixmap& picture) {
    m_picture = picture;
    update();
}

void Backdrop::paintEvent(QPaintEvent*) {
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
