#pragma once

#include "assets/EventSounds.h"
#include "export/MidiWriter.h"
#include "model/globali.h"
#include "widgets/ButtonBar.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace zumbal {

// "Export Midi file": writes one stored loop of the loops folder, repeated a
// chosen number of times, or one song of its songs folder, whole, as a
// Standard MIDI File into a chosen folder. It reads the files itself, so the
// loop open in the main window is neither touched nor exported. A new window
// is made for every opening.
class exportmidiwin : public QDialog {
    Q_OBJECT
public:
    exportmidiwin(const globali& g, EventSounds& sounds, QWidget* parent = nullptr);

    void Event_Open();
    void ListBox1_Open();
    void ListBox1_Change();
    void Slider1_ValueChanged(int value);
    void RadioBu_Action(int index);
    void EditField1_TextChange();
    void gestisci_evento_bottone(int button, int state);

    // The folder the file goes to, shown under the controls; the radio
    // buttons set it through here too.
    void setTarget(const QString& folder);
    const QString& target() const { return dovesalvare; }
    ButtonBar& buttons() { return *m_bar; }

    QFrame* Rectangle1 = nullptr;
    QTreeWidget* ListBox1 = nullptr;
    QFrame* Rectangle5 = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* StaticT = nullptr;
    QLabel* StaticText2 = nullptr;
    QSlider* Slider1 = nullptr;
    QLabel* StaticText4 = nullptr;
    QLineEdit* EditField1 = nullptr;
    QLabel* StaticText5 = nullptr;
    std::array<QRadioButton*, 4> RadioBu{};
    QLabel* StaticText6 = nullptr;
    // The seed of the steps' chances, shown while the row chosen has steps
    // that vary.
    QLabel* StaticText7 = nullptr;
    QLineEdit* EditField2 = nullptr;

    // The chosen loop's file name in the loops folder, or the chosen song's
    // in its songs folder; empty when none is.
    QString nome_emf;
    // Whether the row chosen is a song: its entries play their own passes.
    bool songChosen() const { return !m_song.empty(); }

private:
    void buildControls();
    void setLoopChosen(bool chosen);
    void showSeed(bool shown);
    void exportLoop();
    // What the chosen row exports: the loop for its passes, or the song's
    // entries whose presets read as loop files; nothing, after a message
    // unless `quiet`, when it cannot be read or nothing is left.
    std::optional<std::vector<ExportPart>> chosenParts(bool quiet = false);
    std::optional<std::vector<ExportPart>> loopPart(bool quiet);
    std::optional<std::vector<ExportPart>> songParts(bool quiet);
    // The seed typed, or the export's default while the field is hidden;
    // nothing, after a message, when it is no seed.
    std::optional<uint64_t> seed();

    const globali& m_g;
    EventSounds& m_sounds;
    ButtonBar* m_bar = nullptr;
    QButtonGroup* m_targets = nullptr;
    QString dovesalvare;
    std::string m_song; // the chosen song's file name, as bytes
};

} // namespace zumbal
