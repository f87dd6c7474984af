#pragma once

#include "song/SongFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QUndoStack>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zumbal {

// The name a song is saved under in the songs folder: its name as a plain
// file name, as loops are saved under theirs. What a file name cannot hold
// (a '/', control characters, bytes that are not UTF-8) is left out, a
// leading dot too (a hidden file); "song" when nothing is left.
QString songFileName(const QString& name);

// "Song": edits a song, the presets it plays in order, with its own undo
// history, and opens and saves song files in the songs folder inside the
// loops folder. An entry whose preset is not in the presets list (deleted
// or renamed since) stays in the song, shown as missing.
class SongWindow : public QWidget {
    Q_OBJECT
public:
    explicit SongWindow(std::filesystem::path loopsFolder, QWidget* parent = nullptr);
    ~SongWindow() override;

    // The presets list's file names, in its order: what "Add" offers and what is not missing.
    void setPresets(const std::vector<std::string>& presets);
    void setLoopsFolder(std::filesystem::path loopsFolder);
    const Song& song() const { return m_shown.song; }
    // Opens `song` read from `path` (empty: a new, unsaved song); clears the undo history.
    void setSong(const Song& song, const std::filesystem::path& path);
    bool loopSong() const { return m_shown.loop; }
    int selectedEntry() const { return m_shown.selected; } // -1: none
    // The entry playing and its pass, highlighted in the list (entry -1: the song is not playing).
    void showPlaying(int entry, int pass);
    QUndoStack& history() { return m_history; }

    // The file the song was read from or saved to; empty for a new song.
    const std::filesystem::path& path() const { return m_path; }
    // Opens the song file at `path`; a file that is not a song is refused
    // with a message, and nothing changes. False when refused.
    bool openFile(const std::filesystem::path& path);
    // "Save": into the file the song came from, or as "Save As.." for a new song.
    bool save();
    // "Save As..": a new file in the songs folder, never one that exists.
    bool saveAs();

    // The questions the window asks; the tests answer them instead.
    struct Dialogs {
        // The file name to save under, proposed `suggested`; nothing: cancelled.
        std::function<std::optional<QString>(const QString& suggested)> saveName;
        // The song file to open, starting in `folder`; nothing: cancelled.
        std::function<std::optional<std::filesystem::path>(const std::filesystem::path& folder)>
            songToOpen;
        // Yes or no.
        std::function<bool(const QString& question)> confirm;
        std::function<void(const QString& message)> tell;
    } dialogs;

    QLineEdit* nameEdit = nullptr;
    QTreeWidget* entryList = nullptr; // columns: preset, passes, key
    QSpinBox* passesSpin = nullptr;
    QComboBox* keyCombo = nullptr; // "Own key", then C .. B
    QComboBox* presetCombo = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* upButton = nullptr;
    QPushButton* downButton = nullptr;
    QPushButton* duplicateButton = nullptr;
    QCheckBox* loopBox = nullptr;
    QPushButton* playButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* newButton = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* saveAsButton = nullptr;
    QLabel* fileLabel = nullptr;

signals:
    void playRequested(int entry); // "Play song": from the selected entry (0 when none)
    void stopRequested();
    // After any edit, undo or redo, and after "New" and "Open.." (not after setSong()).
    void songEdited();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a step of the history brings back.
    struct Shown {
        Song song;
        bool loop = false;
        int selected = -1;
        friend bool operator==(const Shown&, const Shown&) = default;
    };
    class Step;

    QLayout* fileRow();
    QLayout* entryButtons();
    QLayout* entryFields();
    QLayout* playRow();
    void addShortcuts();

    // One step of the history, unless `change` leaves the song as it was.
    // Steps under the same merge id that follow each other are one.
    void edit(const QString& text, const std::function<void(Shown&)>& change, int mergeId = -1);
    void restore(const Shown& shown);
    void showSong();
    void showEntries();
    void showFile();
    static bool hasEntry(const Shown& shown);
    bool isMissing(const SongEntry& entry) const;
    bool mayDiscard();
    bool writeTo(const std::filesystem::path& path, bool create, QString& error);
    void newSong();
    void openChosen();

    std::filesystem::path m_loopsFolder;
    std::vector<std::string> m_presets;
    std::filesystem::path m_path;
    Shown m_shown;
    int m_playing = -1, m_pass = 0;
    int m_nameStep = 0;     // the merge id of the name's typing; a new one once the field is left
    bool m_pushing = false; // an edit's step is being pushed, not undone or redone
    QUndoStack m_history;
};

} // namespace zumbal
