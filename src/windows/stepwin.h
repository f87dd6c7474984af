#pragma once

#include "editor/Window_t1.h"
#include "model/globali.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QWidget>

namespace zumbal {

// "Step": how one step that is on varies from pass to pass: its chance, its
// condition on the pass and the fill, its ratchet and its nudge. It shows the
// model's values while open, whatever changes them (an undo, a loaded loop,
// a click on the cell), and hands every change to the main window.
class stepwin : public QWidget {
    Q_OBJECT
public:
    stepwin(const globali& g, Window_t1& main, QWidget* parent = nullptr);

    // Opens at screen position `topLeft` for the step in `cell`. Setting up
    // the controls writes nothing back.
    void apri(int cell, QPoint topLeft);
    int cell() const { return m_cell; }

    QLabel* stroke_text = nullptr; // the instrument, or "Bass", and the stroke
    QSlider* chance = nullptr;
    QLabel* chance_text = nullptr;
    QComboBox* condition = nullptr; // each row's data is its condition code
    QSpinBox* ratchet = nullptr;
    QSlider* nudge = nullptr; // in 24ths of a stroke
    QLabel* nudge_text = nullptr;
    QPushButton* reset = nullptr;
    QLabel* note_text = nullptr; // why the controls are disabled

private:
    void showStep();
    void showValues();
    // Writes the model's variation with `edit` applied, as one step named
    // `setting`; a slider's moves under one `mergeKey` make one step.
    template <class Edit> void change(const QString& setting, const QString& mergeKey, Edit edit);

    const globali& m_g;
    Window_t1& m_main;
    int m_cell = 0;
    // Set while the controls show the model, so that nothing is written back.
    bool autoaggiorna = false;
};

} // namespace zumbal
