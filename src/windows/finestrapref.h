#pragma once

#include "assets/EventSounds.h"
#include "model/globali.h"
#include "widgets/ButtonBar.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>

namespace zumbal {

// "Preferences": the one preference, whether events play their sounds.
// "Save" changes it for the rest of the run; the file is written at quit.
class finestrapref : public QDialog {
    Q_OBJECT
public:
    finestrapref(globali& g, EventSounds& sounds, QWidget* parent = nullptr);

    void Event_Open();
    void gestisci_evento_bottone(int button, int state);

    QLabel* StaticText1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* StaticText2 = nullptr;
    ButtonBar& buttons() { return *m_bar; }

private:
    globali& m_g;
    EventSounds& m_sounds;
    ButtonBar* m_bar = nullptr;
};

} // namespace zumbal
