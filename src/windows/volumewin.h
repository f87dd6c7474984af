#pragma once

#include "editor/Window_t1.h"
#include "model/globali.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

namespace zumbal {

// "Volume": a small slider beside the clicked stroke or track volume field
// that sets that stroke's velocity or the whole track's volume. For a stroke
// that is on, "More.." asks for the step window. It hides as soon as the
// mouse leaves it.
class volumewin : public QWidget {
    Q_OBJECT
public:
    volumewin(globali& g, Window_t1& main, QWidget* parent = nullptr);

    // Opens at screen position (left, top) for stroke c of track t, or for the
    // whole track when `all`. Setting up the slider writes nothing back.
    void apri(bool all, int t, int c, int left, int top);
    void Slider1_ValueChanged(int value);

    QLabel* ind_a_text = nullptr;
    QLabel* ind_b_text = nullptr;
    QLabel* volume_text = nullptr;
    QSlider* Slider1 = nullptr;
    QPushButton* more = nullptr; // shown for one stroke, enabled for a step

signals:
    // The step window is wanted at `topLeft` (screen coordinates) for the step in `cell`.
    void stepWindowRequested(int cell, QPoint topLeft);

protected:
    void leaveEvent(QEvent* event) override;

private:
    globali& m_g;
    Window_t1& m_main;
    // Set while apri() sets up the slider, so that nothing is written back.
    bool autoaggiorna = false;
};

} // namespace zumbal
