#pragma once

#include <QLineEdit>

namespace zumbal {

// The small numeric track field: bold Arial 10, three digits at most. It
// keeps only digits, whatever arrives; the space bar starts and stops the
// loop instead of typing. Of the Control keys it keeps only Ctrl+A: the
// others are the menu's shortcuts, which a line edit would take as editing
// keys (Ctrl+E moves to the end) while it has the focus.
class EditField_Numero : public QLineEdit {
    Q_OBJECT
public:
    EditField_Numero(const QString& text, const QColor& background, const QColor& textColour,
                     QWidget* parent = nullptr);

signals:
    void spaceBar();
    void mouseDown();
    void lostFocus();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void filterDigits();
};

} // namespace zumbal
