#pragma once

#include "midi/LiveSettings.h"
#include "midi/MidiMessage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace zumbal {

// "Live Settings": bar-line switching, the MIDI channels and the MIDI controls
// bound to live actions. It edits a copy of the settings; "Save" hands the copy
// over through saved(), "Cancel" drops it.
class livesettingswin : public QWidget {
    Q_OBJECT
public:
    // `presets`: the presets list's file names, which the fill can play.
    livesettingswin(const LiveSettings& current, const QString& midiStatus,
                    QWidget* parent = nullptr, const std::vector<std::string>& presets = {});

    const LiveSettings& edited() const { return m_edited; }

    QCheckBox* barLineBox = nullptr;
    QSpinBox* drumsSpin = nullptr;
    QSpinBox* bassSpin = nullptr;
    QCheckBox* clockBox = nullptr;
    QComboBox* inputCombo = nullptr;
    QComboBox* fillCombo = nullptr; // "None", then the presets
    // In the order of sync::Source.
    std::array<QRadioButton*, 4> syncButtons{};
    QCheckBox* leadTransportBox = nullptr;
    QCheckBox* linkStartStopBox = nullptr;
    std::array<QLabel*, kBindables> bindingLabels{};
    std::array<QPushButton*, kBindables> learnButtons{};
    std::array<QPushButton*, kBindables> clearButtons{};
    QLabel* statusLabel = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* saveButton = nullptr;

public slots:
    // While a row waits for "Learn", the first learnable message becomes its
    // binding; anything else is ignored.
    void midiReceived(const zumbal::MidiMessage& m);

signals:
    void saved(const zumbal::LiveSettings& settings);

private:
    QWidget* playingGroup(const std::vector<std::string>& presets);
    QWidget* inputGroup();
    QWidget* syncGroup();
    void showSyncChoice();
    void addBindingRow(QGridLayout* grid, int row);
    QLayout* buttonRow();

    void learn(int row);
    void setBinding(int row, const Binding& binding);
    void showBindings();

    LiveSettings m_edited;
    std::optional<int> m_waiting; // the row that waits for a MIDI message
};

} // namespace zumbal
