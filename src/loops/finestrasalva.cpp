#include "loops/finestrasalva.h"

#include "widgets/TextFilter.h"
#include "widgets/WindowLook.h"

#include <QApplication>
#include <QFontMetrics>

namespace zumbal {

finestrasalva::finestrasalva(const globali& g, EventSounds& sounds, ListedNames listed,
                             SaveLoop save, QWidget* parent)
    : QDialog(parent), m_g(g), m_sounds(sounds), m_listed(std::move(listed)),
      m_save(std::move(save)) {
    setWindowTitle(QStringLiteral("Save loop as.."));
    setFixedSize(260, 120);
    setAttribute(Qt::WA_DeleteOnClose);
    setBackground(this, QColor(0x8E, 0x8E, 0x8E));

    const QColor light(0xE6, 0xE6, 0xE6);
    StaticText1 = makeLabel(QStringLiteral("Save loop as.."), {60, 3, 140, 20}, arial(18), light,
                            this, Qt::AlignCenter);
    EditField1 = new QLineEdit(QStringLiteral("loop"), this);
    EditField1->setGeometry(10, 30, 240, 22);
    EditField1->setMaxLength(32);
    EditField1->setFont(arial(12));
    EditField1->setStyleSheet(QStringLiteral("QLineEdit { color: #000080; background: white; }"));
    connect(EditField1, &QLineEdit::textChanged, this, &finestrasalva::filterName);
    StaticText2 = makeLabel(QStringLiteral("Write loop name above"), {10, 54, 240, 24}, arial(12),
                            light, this, Qt::AlignCenter);

    m_bar = new ButtonBar(this, ButtonTable::Dialog, m_sounds);
    connect(m_bar, &ButtonBar::gestisci_evento_bottone, this,
            &finestrasalva::gestisci_evento_bottone);
}

void finestrasalva::Event_Open() {
    m_sounds.playIfOn(SoundId::openWind);
    m_bar->addButton({4, 79, 120, 40}, {"Arial", 14, "Cancel"}, kPushButton);
    m_bar->addButton({131, 79, 120, 40}, {"Arial", 14, "Save"}, kPushButton);
    show();
    EditField1->setFocus();
}

void finestrasalva::filterName() {
    // The filter counts the caret in bytes of UTF-8, the field in characters.
    const QString text = EditField1->text();
    const int caret = static_cast<int>(text.left(EditField1->cursorPosition()).toUtf8().size());
    const FilteredText kept = keepNameCharacters(text.toStdString(), caret);
    const QString name = QString::fromStdString(kept.text);
    if (name == EditField1->text())
        return;
    EditField1->setText(name);
    EditField1->setCursorPosition(kept.cursor);
}

void finestrasalva::gestisci_evento_bottone(int button, int) {
    if (button == 0)
        close();
    else
        save();
}

void finestrasalva::refuse(const QString& message) {
    // The whole message shows: the font shrinks until it fits on the line,
    // and the smallest size wraps onto two.
    constexpr int kSmallest = 8;
    for (int size = 12; size >= kSmallest; --size) {
        const QFont font = arial(size);
        const bool fits =
            QFontMetrics(font).horizontalAdvance(message) <= StaticText2->contentsRect().width();
        if (fits || size == kSmallest) {
            StaticText2->setFont(font);
            StaticText2->setWordWrap(!fits);
            break;
        }
    }
    StaticText2->setText(message);
    QApplication::beep();
}

void finestrasalva::save() {
    const QString name = EditField1->text();
    if (name.trimmed().isEmpty()) {
        refuse(QStringLiteral("Please write a name first!"));
        return;
    }
    if (m_listed().contains(name)) {
        refuse(QStringLiteral("Name already in use, please change it!"));
        return;
    }
    QString error;
    if (!m_save(name, error)) {
        refuse(QStringLiteral("Could not save: %1").arg(error));
        return;
    }
    close();
}

} // namespace zumbal
