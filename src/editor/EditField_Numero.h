#pragma once

#include <QLineEdit>

namespace zumbal {

// The small numeric track field: bold Arial 10, three characters at most.
class EditField_Numero : public QLineEdit {
    Q_OBJECT
public:
    EditField_Numero(const QString& text, const QColor& background, const QColor& textColour,
                     QWidget* parent = nullptr);
};

} // namespace zumbal
