#pragma once

#include "assets/EventSounds.h"
#include "editor/EditField_Numero.h"
#include "editor/TempoLamp.h"
#include "model/globali.h"
#include "playback/BeatSettings.h"
#include "playback/PlaybackEngine.h"

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QSlider>
#include <QTimer>

#include <array>
#include <functional>

namespace zumbal {

// The main window: the loop editor and the transport. It owns the widgets;
// the loop lives in the model and the stroke clock in the engine.
class Window_t1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 799;
    static constexpr int kClientHeight = 443;

    Window_t1(globali& g, PlaybackEngine& engine, EventSounds& sounds, QWidget* parent = nullptr);

    // Builds the window's state, sets the start-up loop and starts playing.
    void Event_Open();

    void play_pausa();
    void impostabeat_3_4();
    void impostabeat_ter();
    void dati_dei_bottoni();

    // Drawing hooks, filled in by the grid and the button bar.
    void disegna_drum(int cell, int x, int y);
    void aggiorna_bottone(int i);
    void refreshGrid();
    using CellPainter = std::function<void(int cell, int x, int y)>;
    using ButtonPainter = std::function<void(int i)>;
    using GridRefresher = std::function<void()>;
    void setCellPainter(CellPainter painter) { m_cellPainter = std::move(painter); }
    void setButtonPainter(ButtonPainter painter) { m_buttonPainter = std::move(painter); }
    void setGridRefresher(GridRefresher refresher) { m_gridRefresher = std::move(refresher); }

    // Sets a button's state in both places it is kept.
    void setButtonState(int i, int state);

    QWidget* client() const { return m_client; }
    TempoLamp* CanvasTempo = nullptr;
    QSlider* Slider1 = nullptr;
    QLabel* StaticText13 = nullptr;
    QLabel* StaticText14 = nullptr;
    QLabel* StaticText16 = nullptr;
    QComboBox* PopupMenu1 = nullptr;
    std::array<EditField_Numero*, kTracks> EditFI{};
    std::array<EditField_Numero*, kTracks> EditFV{};

    // One row per drawn button: font name, font size, state code, caption.
    static constexpr int can_bot_quanti = kButtons - 1;
    std::array<std::array<QString, 4>, kButtons> can_bot;

signals:
    // Emitted while the window closes, before the program quits.
    void closing();

public slots:
    void Slider1_ValueChanged(int value);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void buildTrackFields();
    void Event_KeyDown(const QString& key);
    void updateLamp();

    globali& m_g;
    PlaybackEngine& m_engine;
    EventSounds& m_sounds;
    QWidget* m_client = nullptr;
    QTimer m_lampTimer;
    uint32_t m_strokesSeen = 0;
    CellPainter m_cellPainter;
    ButtonPainter m_buttonPainter;
    GridRefresher m_gridRefresher;
};

} // namespace zumbal
