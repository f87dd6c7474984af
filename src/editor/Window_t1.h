#pragma once

#include "assets/EventSounds.h"
#include "editor/CellPictures.h"
#include "editor/EditField_Numero.h"
#include "editor/GridCanvas.h"
#include "editor/PendingSwitch.h"
#include "editor/TempoLamp.h"
#include "loops/LoopFile.h"
#include "model/globali.h"
#include "playback/BassLine.h"
#include "playback/BeatSettings.h"
#include "playback/PlaybackEngine.h"
#include "widgets/ButtonBar.h"

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
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
    static constexpr QPoint kGridPosition{168, 7};

    Window_t1(globali& g, PlaybackEngine& engine, EventSounds& sounds, QWidget* parent = nullptr);
    ~Window_t1() override;

    // Builds the window's state, sets the start-up loop and starts playing.
    void Event_Open();

    // Transport.
    void play_pausa();
    void impostabeat_3_4();
    void impostabeat_ter();

    // The button table.
    void dati_dei_bottoni();
    void aggiorna_bottone(int i);
    // Sets a button's state in both places it is kept.
    void setButtonState(int i, int state);
    void gestisci_evento_bottone(int i, int state);
    ButtonBar& buttons() { return *m_bar; }

    // The grid.
    void crea_notearray();
    void crea_p_picture();
    // Redraws a cell; `x` and `y` are the cell's origin on the grid, or
    // x = kNoOrigin to have it computed from the cell.
    static constexpr int kNoOrigin = 999;
    void disegna_drum(int cell, int x, int y);
    // Prepares the note label of bass cell `cell` and repaints the cell.
    void labelBassCell(int cell);
    void refreshGrid();
    void gestisci_drum(int cell, int x, int y);
    void CanvasImageW_MouseDown(int x, int y, bool contextual);
    void Event_MouseDown(int x, int y);
    void fillDrumTrack(int track, int state);

    // The bass line.
    void transpose(int n);
    void BevelB_Action(int index);

    // Loop files and presets.
    void creapopupmenu();
    void PopupMenu1_Change(int row);
    // A key as typed on the main window: the space bar, and in FastSwitch
    // mode the letters, digits and arrows (the arrows as codes 28 to 31).
    // MIDI control plays these too.
    void Event_KeyDown(const QString& key);
    // Loads preset `n`, counted from 0, or the last one for a larger `n`.
    void choosePreset(int n);
    // While a loop plays, a preset or transposition chosen takes effect at
    // the next stroke 1; until then the loop's name line says what is coming.
    void setSwitchAtBarLine(bool on);
    // Loads the loop named `nome_file` once the current event is handled.
    void loop_aprithr();
    // `name` is the file's name as the file system holds it.
    void loop_apri(const std::string& name);
    void applyLoop(const LoopRecord& loop, const QString& name);
    // Writes the loop as `nome_file` in the loops folder and lists it last.
    bool loop_salva(QString& error);
    LoopRecord currentLoop() const;

    // The track fields.
    void EditFI_SelChange(int t);
    void EditFV_SelChange(int t);
    void EditFI_LostFocus(int t);
    void EditFV_LostFocus(int t);
    void EditFI_MouseDown(int t);
    void EditFV_MouseDown(int t);
    void ContextualMenu1_Action(QAction* item);

    Backdrop* client() const { return m_client; }
    GridCanvas* CanvasImageW = nullptr;
    TempoLamp* CanvasTempo = nullptr;
    QSlider* Slider1 = nullptr;
    QLabel* StaticText13 = nullptr;
    QLabel* StaticText14 = nullptr;
    QLabel* StaticText16 = nullptr;
    QComboBox* PopupMenu1 = nullptr;
    QMenu* ContextualMenu1 = nullptr;
    std::array<EditField_Numero*, kTracks> EditFI{};
    std::array<EditField_Numero*, kTracks> EditFV{};
    std::array<QPushButton*, 2> BevelB{};
    std::array<QLabel*, 12> StaticTN{};

    NoteArray notearray{};
    CellPictures pictures;
    // Set by the volume window while it fills in its own controls, so that a
    // track volume it writes does not overwrite the per-stroke volumes.
    bool autoaggiorna = false;

signals:
    // Emitted while the window closes, before the program quits.
    void closing();
    // The presets list was rebuilt or grew.
    void presetsChanged();
    // The volume window is wanted at `topLeft` (screen coordinates), for one
    // stroke of a track or, with `all`, the whole track.
    void volumeWindowRequested(bool all, int track, int stroke, QPoint topLeft);
    // The drums window is wanted beside the instrument field at `y` in the client area.
    void drumsWindowRequested(int y, int track);

public slots:
    void Slider1_ValueChanged(int value);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void buildTrackFields();
    void buildKeyboardControls();
    void updateLamp();
    void showLoop(const QString& name);
    bool waitsForBarLine() const;
    void queueSwitch();
    void collectLandedSwitch();
    void withdrawSwitch();
    void relabelBassCells();
    void showSwitchState();
    void repaintHits(int track);
    void loadPresetRow(int row);
    void presetKey(int code);

    globali& m_g;
    PlaybackEngine& m_engine;
    EventSounds& m_sounds;
    Backdrop* m_client = nullptr;
    QTimer m_lampTimer;
    bool m_switchAtBarLine = false;
    QString m_loopName;                       // the loaded loop's, shown when nothing waits
    PendingSwitch m_draft;                    // everything chosen for the next stroke 1
    PendingSwitch* m_waitingSwitch = nullptr; // its latest copy, held by the engine
    uint32_t m_strokesSeen = 0;
    ButtonBar* m_bar = nullptr;
};

} // namespace zumbal
