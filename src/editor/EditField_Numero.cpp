#include "editor/EditField_Numero.h"

namespace zumbal {

EditField_Numero::EditField_Numero(const QString& text, const QColor& background,
                                   const QColor& textColour, QWidget* parent)
    : QLineEdit(text, parent) {
    QFont font("Arial", 10);
    font.setBold(true);
    font.setPixelSize(10);
    setFont(font);
    setMaxLength(3);
    setFrame(true);
    setTextMargins(0, 0, 0, 0);
    setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid "
                                 "#505050; padding: 0px; }"
                                 "QLineEdit:disabled { color: #808080; }")
                      .arg(background.name(), textColour.name()));
}

} // namespace zumbal
