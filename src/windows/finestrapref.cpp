#include "windows/finestrapref.h"

#include "widgets/WindowLook.h"

namespace zumbal {

finestrapref::finestrapref(globali& g, EventSounds& sounds, QWidget* parent)
    : QDialog(parent), m_g(g), m_sounds(sounds) {
    setWindowTitle(QStringLiteral("Preferences"));
    setFixedSize(260, 100);
    setAttribute(Qt::WA_DeleteOnClose);
    setBackground(this, QColor(0x8E, 0x8E, 0x8E));
    const QColor light(0xE6, 0xE6, 0xE6);
    StaticText1 = makeLabel(QStringLiteral("Preferences"), {60, 3, 140, 20}, arial(18), light, this,
                            Qt::AlignCenter);
    CheckBox1 = new QCheckBox(this);
    CheckBox1->setGeometry(10, 30, 20, 20);
    StaticText2 = makeLabel(QStringLiteral("Play sounds for application events"), {40, 30, 200, 20},
                            arial(12), light, this);
    m_bar = new ButtonBar(this, ButtonTable::Dialog, m_sounds);
    connect(m_bar, &ButtonBar::gestisci_evento_bottone, this,
            &finestrapref::gestisci_evento_bottone);
}

void finestrapref::Event_Open() {
    m_sounds.playIfOn(SoundId::openWind);
    m_bar->addButton({4, 59, 120, 40}, {"Arial", 14, "Cancel"}, kPushButton);
    m_bar->addButton({131, 59, 120, 40}, {"Arial", 14, "Save"}, kPushButton);
    CheckBox1->setChecked(eventSoundsOn(m_g));
    show();
}

void finestrapref::gestisci_evento_bottone(int button, int) {
    if (button == 1)
        m_g.prefe[0].assign(1, CheckBox1->isChecked() ? '1' : '0');
    close();
}

} // namespace zumbal
