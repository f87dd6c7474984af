#pragma once

#include "assets/EventSounds.h"
#include "model/globali.h"
#include "widgets/ButtonBar.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include <functional>

namespace zumbal {

// "Save loop as..": asks for the name under which the current loop becomes
// a preset. A name already listed is refused; the dialog closes once the
// loop is written.
class finestrasalva : public QDialog {
    Q_OBJECT
public:
    // The presets list's rows from row 1 on, asked for at the moment of saving.
    using ListedNames = std::function<QStringList()>;
    // Writes the loop under a name; false, with a reason, when it cannot.
    using SaveLoop = std::function<bool(const QString& name, QString& error)>;

    finestrasalva(const globali& g, EventSounds& sounds, ListedNames listed, SaveLoop save,
                  QWidget* parent = nullptr);

    void Event_Open();
    void gestisci_evento_bottone(int button, int state);

    QLabel* StaticText1 = nullptr;
    QLineEdit* EditField1 = nullptr;
    QLabel* StaticText2 = nullptr;
    ButtonBar& buttons() { return *m_bar; }

private:
    void filterName();
    void save();
    void refuse(const QString& message);

    const globali& m_g;
    EventSounds& m_sounds;
    ListedNames m_listed;
    SaveLoop m_save;
    ButtonBar* m_bar = nullptr;
};

} // namespace zumbal
