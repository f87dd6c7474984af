#include "editor/EditField_Numero.h"

#include "widgets/TextFilter.h"

#include <QKeyEvent>

namespace zumbal {

EditField_Numero::EditField_Numero(const QString& text, const QColor& background,
                                   const QColor& textColour, QWidget* parent)
    : QLineEdit(text, parent) {
    QFont font("Arial");
    font.setPixelSize(10);
    font.setBold(true);
    setFont(font);
    setMaxLength(3);
    setFrame(true);
    setTextMargins(0, 0, 0, 0);
    setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid "
                                 "#505050; padding: 0px; }"
                                 "QLineEdit:disabled { color: #808080; }")
                      .arg(background.name(), textColour.name()));
    connect(this, &QLineEdit::textChanged, this, &EditField_Numero::filterDigits);
}

void EditField_Numero::filterDigits() {
    const FilteredText filtered = keepDigits(text().toStdString(), cursorPosition());
    const QString digits = QString::fromStdString(filtered.text);
    if (digits == text())
        return;
    setText(digits);
    setCursorPosition(filtered.cursor);
}

bool EditField_Numero::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & Qt::ControlModifier) && key->key() != Qt::Key_A) {
            event->ignore();
            return false;
        }
    }
    return QLineEdit::event(event);
}

void EditField_Numero::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        emit spaceBar();
        return;
    }
    // Ctrl+A (Command-A on a Mac) selects the whole number, as QLineEdit does.
    QLineEdit::keyPressEvent(event);
}

void EditField_Numero::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    emit mouseDown();
}

void EditField_Numero::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit lostFocus();
}

} // namespace zumbal
