#pragma once

#include "assets/EventSounds.h"
#include "editor/Backdrop.h"
#include "editor/BarLineQueue.h"
#include "editor/BassKeyboard.h"
#include "editor/EditHistory.h"
#include "editor/GridEditor.h"
#include "editor/MainButtons.h"
#include "editor/SyncView.h"
#include "editor/TapTempo.h"
#include "editor/TempoLamp.h"
#include "editor/TrackFields.h"
#include "loops/LoopFile.h"
#include "loops/LoopLibrary.h"
#include "model/globali.h"
#include "playback/PlaybackEngine.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QSlider>
#include <QTimer>

#include <array>

namespace zumbal {

// The main window: composes the loop editor's rooms (the grid, the track
// fields, the keyboard, the drawn buttons) with the tempo, the presets list
// and the transport, and carries out the edits they ask for. The loop lives
// in the model, the stroke clock in the engine, the loop files in the library.
class Window_t1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 799;
    static constexpr int kClientHeight = 443;
    static constexpr QPoint kGridPosition{168, 7};
    static constexpr int kNoOrigin = GridEditor::kNoOrigin;

    Window_t1(globali& g, PlaybackEngine& engine, EventSounds& sounds, QWidget* parent = nullptr);
    ~Window_t1() override;

    // Builds the window's state, sets the start-up loop, or the loop `opened`
    // from the file `name`, and starts playing.
    void Event_Open(const LoopRecord* opened = nullptr, const QString& name = {});

    // Transport.
    void play_pausa();
    // Who leads, beside the tempo; a master's tempo holds the slider.
    void showSync(const SyncView& view);
    void impostabeat_3_4();
    void impostabeat_ter();

    // The button table.
    void dati_dei_bottoni();
    void aggiorna_bottone(int i);
    // Sets a button's state, which the model's `pb` holds, and redraws it.
    void setButtonState(int i, int state);
    void gestisci_evento_bottone(int i, int state);
    ButtonBar& buttons() { return m_buttons->bar(); }

    // The grid. `disegna_drum` shows a cell as the model holds it; `x` and
    // `y` are the cell's origin on the grid, or x = kNoOrigin.
    void disegna_drum(int cell, int x, int y);
    void gestisci_drum(int cell, int x, int y);
    void CanvasImageW_MouseDown(int x, int y, bool contextual);
    void Event_MouseDown(int x, int y);
    void fillDrumTrack(int track, int state);

    // The bass line.
    void transpose(int n);

    // The whole loop.
    // Clears the loop to "File > New Loop"'s: no strokes, default sounds and tempo.
    void newLoop();
    // Shows or leaves FastSwitch mode and loads the first preset.
    void setFastSwitch(bool on);
    // The Edit menu: every edit of the loop is a step. Locked in FastSwitch mode.
    void undo();
    void redo();
    const QUndoStack& history() const { return m_history.stack(); }
    // The next edit is a step of its own, even one that would merge into the last.
    void closeEditStep();

    // Loop files and presets.
    void creapopupmenu();
    void PopupMenu1_Change(int row);
    // Rows of presets in the list.
    int presetCount() const;
    // The list's rows after its title, as shown.
    QStringList presetRows() const;
    // A key as typed on the main window: the space bar, and in FastSwitch
    // mode the letters, digits and arrows (the arrows as codes 28 to 31).
    // MIDI control plays these too.
    void Event_KeyDown(const QString& key);
    // Loads preset `n`, counted from 0, or the last one for a larger `n`.
    void choosePreset(int n);
    // While a loop plays, a preset or transposition chosen takes effect at
    // the next stroke 1; until then the loop's name line says what is coming.
    // Turned off, what waits applies at once.
    void setSwitchAtBarLine(bool on);
    // What waits for the bar line; a song queues its entries here.
    BarLineQueue& barLineQueue() { return m_barLine; }
    // Where a song is, shown in place of the loop's name line while it
    // plays; empty: no song.
    void showSongPlace(const QString& text);
    // The loop the engine put in the model (a fill, or the loop after it)
    // shown under `name`; no edit is recorded.
    void showPlayingLoop(const QString& name) { showLoop(name); }
    const QString& loopName() const { return m_loopName; }
    // Loads the loop named `nome_file` once the current event is handled.
    void loop_aprithr();
    // `name` is the file's name as the file system holds it.
    void loop_apri(const std::string& name);
    void applyLoop(const LoopRecord& loop, const QString& name);
    // Writes the loop as `nome_file` in the loops folder and lists it last.
    bool loop_salva(QString& error);
    // The loop as it plays, whole: a switch that landed at the bar line since
    // the lamp's last tick is shown and recorded first.
    LoopRecord currentLoop();

    // For the small windows: a track's instrument chosen in the drums
    // window, a track's or a stroke's volume set in the volume window.
    void chooseInstrument(int t, int note);
    void setTrackVolume(int t, int volume);
    void setStrokeVolume(int cell, int volume);
    // For the step window: how the step in `cell` varies, under the Edit
    // menu's name `setting`; commits under one `mergeKey` make one step.
    // Nothing changes in FastSwitch mode or where the cell holds no step.
    void setStepVariation(int cell, const StepVariation& v, const QString& setting,
                          const QString& mergeKey = {});
    // A point of the client area in screen coordinates.
    QPoint clientToGlobal(QPoint at) const { return m_client->mapToGlobal(at); }

    // The rooms and controls, for looking at them.
    Backdrop* client() const { return m_client; }
    GridEditor& grid() { return *CanvasImageW; }
    TrackFields& fields() { return *m_fields; }
    BassKeyboard& keyboard() { return *m_keyboard; }
    TempoLamp* tempoLamp() const { return CanvasTempo; }
    QSlider* tempoSlider() const { return Slider1; }
    QLabel* tempoText() const { return StaticText13; }
    QLabel* loopNameLine() const { return StaticText16; }
    QLabel* songPlaceLine() const { return m_songLabel; }
    QComboBox* presetsMenu() const { return PopupMenu1; }

    // The groove: swing in percent and the two humanize amounts, each
    // clamped to its range.
    void setGroove(int swing, int humanizeMs, int humanizeVelocity);
    // A tap of the tempo: from the second tap on, the tempo follows the taps.
    // Each count of taps is one step.
    void tapTempo();
    // A tap at `seconds` on the taps' steady clock.
    void tapTempo(double seconds);

signals:
    // Emitted while the window closes, before the program quits.
    void closing();
    // A loop was loaded, made new or brought back: everything it holds may have changed.
    void loopShown();
    // The musician put another loop in the window: a preset loaded at once,
    // New Loop, a recovered loop, an undo or a redo.
    void loopReplaced();
    // The presets list was rebuilt or grew.
    void presetsChanged();
    // Play was pressed; the loop starts once the handlers return.
    void aboutToPlay();
    // A switch landed at a stroke 1, or was taken back before it: for a
    // song's entry, its index, else -1.
    void switchLanded(int songEntry);
    void switchWithdrawn(int songEntry);
    // The volume window is wanted at `topLeft` (screen coordinates), for one
    // stroke of a track or, with `all`, the whole track.
    void volumeWindowRequested(bool all, int track, int stroke, QPoint topLeft);
    // The step window is wanted at `topLeft` (screen coordinates) for the
    // step in `cell`.
    void stepWindowRequested(int cell, QPoint topLeft);
    // Cell `cell` was drawn as the model holds it: its code or its variation
    // may have changed.
    void cellDrawn(int cell);
    // The drums window is wanted beside the instrument field at `y` in the client area.
    void drumsWindowRequested(int y, int track);

public slots:
    void Slider1_ValueChanged(int value);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A click on the tempo's caption or number taps the tempo.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void updateLamp();
    void showLoop(const QString& name);
    void drawLoop();
    void collectLandedSwitch();
    // Before the loop is set at once (a load, New Loop, an undo or redo): a
    // switch still waiting for the bar line was chosen earlier and must not
    // replace it; one that landed is shown and recorded first.
    void dropWaitingSwitch();
    // Takes back the waiting switch and applies it now.
    void withdrawSwitch();
    void relabelBassCells();
    void showSwitchState();
    void loadPresetRow(int row);
    void presetKey(int code);
    void instrumentChanged(int t, int note);
    void trackVolumeChanged(int t);
    // A middle click on a step asks for the step window beneath it.
    void gridMiddleDown(int x, int y);
    // Commits the edit just made to the history, outside FastSwitch mode.
    void recordEdit(const QString& text, const QString& mergeKey = {});
    LoopRecord modelLoop() const;
    LoopSnapshot snapshot() const;
    void showSnapshot(const LoopSnapshot& shown);
    // Draws the cells whose code differs from `before`.
    void drawChanged(const std::array<int, kCells>& before);
    std::array<int, kCells> cells() const;

    globali& m_g;
    PlaybackEngine& m_engine;
    EventSounds& m_sounds;
    LoopLibrary m_library;
    Backdrop* m_client = nullptr;
    GridEditor* CanvasImageW = nullptr;
    TrackFields* m_fields = nullptr;
    BassKeyboard* m_keyboard = nullptr;
    MainButtons* m_buttons = nullptr;
    TempoLamp* CanvasTempo = nullptr;
    QSlider* Slider1 = nullptr;
    QLabel* StaticText13 = nullptr;
    QLabel* StaticText14 = nullptr;
    QLabel* StaticText16 = nullptr;
    QLabel* m_syncLabel = nullptr;
    QLabel* m_songLabel = nullptr;
    SyncView m_syncView;
    QComboBox* PopupMenu1 = nullptr;
    QTimer m_lampTimer;
    // The loaded loop's, or the prompt before any; shown when nothing waits.
    QString m_loopName = QStringLiteral("Create a loop or choose a preset");
    BarLineQueue m_barLine;
    TapTempo m_tapTempo;
    QElapsedTimer m_sinceStart; // the taps' clock
    uint32_t m_strokesSeen = 0;
    EditHistory m_history;
};

} // namespace zumbal
