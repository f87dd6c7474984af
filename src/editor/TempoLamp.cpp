#include "editor/TempoLamp.h"

#include <QPainter>

namespace zumbal {

TempoLamp::TempoLamp(QWidget* parent) : QWidget(parent), m_colour(QColor::fromHsvF(0, 1, 0.8)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TempoLamp::setColour(const QColor& colour) {
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

void TempoLamp::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), m_colour);
}

} // namespace zumbal
