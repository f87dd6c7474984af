#pragma once

#include <QColor>
#include <QWidget>

namespace zumbal {

// `CanvasTempo`: a 12 x 12 square whose colour changes with every stroke.
class TempoLamp : public QWidget {
    Q_OBJECT
public:
    explicit TempoLamp(QWidget* parent = nullptr);
    void setColour(const QColor& colour);
    QColor colour() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour;
};

} // namespace zumbal
