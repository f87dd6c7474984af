#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QWidget>

namespace zumbal {

// Arial at a pixel size, so the small windows look the same on every screen.
inline QFont arial(int pixels, bool bold = true) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

inline QLabel* makeLabel(const QString& text, const QRect& geometry, const QFont& font,
                         const QColor& colour, QWidget* parent,
                         Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(alignment);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

inline void setBackground(QWidget* widget, const QColor& colour) {
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

} // namespace zumbal
