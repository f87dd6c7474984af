#pragma once

#include "editor/Window_t1.h"
#include "model/globali.h"

#include <QLabel>
#include <QSlider>
#include <QWidget>

#include <array>

namespace zumbal {

// "Groove": swing and humanize for the loop, heard at once while it plays.
// It shows the model's groove whenever a loop is loaded, made new or
// brought back by undo, and hands every change to the main window.
class groovewin : public QWidget {
    Q_OBJECT
public:
    groovewin(const globali& g, Window_t1& main, QWidget* parent = nullptr);

    void apri();

    // Swing, humanize timing, humanize velocity.
    std::array<QSlider*, 3> sliders{};
    std::array<QLabel*, 3> values{};

private:
    void showGroove();
    void showValues();
    void changed();

    const globali& m_g;
    Window_t1& m_main;
    // Set while the sliders show the model, so that nothing is written back.
    bool autoaggiorna = false;
};

} // namespace zumbal
