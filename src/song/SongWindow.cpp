#include "song/SongWindow.h"

#include "loops/FileNames.h"
#include "loops/ReplaceFile.h"
#include "song/SongEdits.h"
#include "widgets/WindowLook.h"

#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QShortcut>
#include <QSignalBlocker>
#include <QUndoCommand>
#include <QVBoxLayout>

#include <utility>

namespace zumbal {

namespace {

// Linux's NAME_MAX.
constexpr qsizetype kMaxFileNameBytes = 255;

// An unpaired surrogate: a byte of a name that is not UTF-8, as fileNameText() carries it.
bool isLoneSurrogate(const QString& text, qsizetype i) {
    const QChar c = text[i];
    if (c.isHighSurrogate())
        return i + 1 == text.size() || !text[i + 1].isLowSurrogate();
    return c.isLowSurrogate() && (i == 0 || !text[i - 1].isHighSurrogate());
}

// A file name as one line of a message.
QString shownFileName(const std::filesystem::path& path) {
    QString name = fileNameText(path.filename().native());
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return name;
}

// A path Qt's file functions reach: theirs are UTF-8, so a name that is not
// cannot be written through them.
std::optional<QString> qtPath(const std::filesystem::path& path) {
    const QString text = QFile::decodeName(QByteArray::fromStdString(path.native()));
    if (QFile::encodeName(text).toStdString() != path.native())
        return std::nullopt;
    return text;
}

QString keyText(const std::optional<int>& key) {
    return key ? QStringLiteral("key ") + QString::fromLatin1(keyName(*key))
               : QStringLiteral("own key");
}

} // namespace

QString songFileName(const QString& name) {
    QString kept;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (isLoneSurrogate(name, i))
            continue;
        kept += c == u'/' || c.category() == QChar::Other_Control ? QChar(u' ') : c;
    }
    kept = kept.simplified();
    while (kept.startsWith(u'.'))
        kept.remove(0, 1);
    kept = kept.trimmed();
    while (kept.toUtf8().size() > kMaxFileNameBytes)
        kept.chop(kept.size() >= 2 && kept[kept.size() - 1].isLowSurrogate() ? 2 : 1);
    kept = kept.trimmed();
    return kept.isEmpty() ? QStringLiteral("song") : kept;
}

// A step holds the song as shown before and after it.
class SongWindow::Step final : public QUndoCommand {
public:
    Step(SongWindow& window, const QString& text, int id, Shown before, Shown after)
        : QUndoCommand(text), m_window(window), m_id(id), m_before(std::move(before)),
          m_after(std::move(after)) {}

    int id() const override { return m_id; }
    bool mergeWith(const QUndoCommand* other) override {
        m_after = static_cast<const Step*>(other)->m_after;
        // A name typed back to what it was leaves no step.
        setObsolete(m_after.song == m_before.song && m_after.loop == m_before.loop);
        return true;
    }
    void undo() override { m_window.restore(m_before); }
    void redo() override { m_window.restore(m_after); }

private:
    SongWindow& m_window;
    int m_id;
    Shown m_before, m_after;
};

SongWindow::SongWindow(std::filesystem::path loopsFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_loopsFolder(std::move(loopsFolder)) {
    setWindowTitle(QStringLiteral("Song"));
    setFont(arial(13, false));
    dialogs.saveName = [this](const QString& suggested) -> std::optional<QString> {
        bool ok = false;
        const QString name = QInputDialog::getText(this, QStringLiteral("Save song as"),
                                                   QStringLiteral("File name in the songs folder:"),
                                                   QLineEdit::Normal, suggested, &ok);
        return ok ? std::optional(name) : std::nullopt;
    };
    dialogs.songToOpen =
        [this](const std::filesystem::path& folder) -> std::optional<std::filesystem::path> {
        const QString chosen = QFileDialog::getOpenFileName(
            this, QStringLiteral("Open song"), QFile::decodeName(folder.native().c_str()));
        if (chosen.isEmpty())
            return std::nullopt;
        return std::filesystem::path(QFile::encodeName(chosen).toStdString());
    };
    dialogs.confirm = [this](const QString& question) {
        return QMessageBox::question(this, QStringLiteral("Song"), question) == QMessageBox::Yes;
    };
    dialogs.tell = [this](const QString& message) {
        QMessageBox::warning(this, QStringLiteral("Song"), message);
    };

    nameEdit = new QLineEdit(this);
    nameEdit->setPlaceholderText(QStringLiteral("The song's name"));
    entryList = new QTreeWidget(this);
    entryList->setColumnCount(3);
    entryList->setHeaderLabels(
        {QStringLiteral("Preset"), QStringLiteral("Passes"), QStringLiteral("Key")});
    entryList->setRootIsDecorated(false);
    entryList->setAllColumnsShowFocus(true);
    entryList->setSelectionMode(QAbstractItemView::SingleSelection);
    entryList->header()->setStretchLastSection(false);
    entryList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    entryList->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    entryList->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    entryList->setMinimumSize(380, 220);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("Name"), this));
    nameRow->addWidget(nameEdit, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow());
    layout->addLayout(nameRow);
    auto* middle = new QHBoxLayout;
    middle->addWidget(entryList, 1);
    middle->addLayout(entryButtons());
    layout->addLayout(middle, 1);
    layout->addLayout(entryFields());
    layout->addLayout(playRow());

    connect(nameEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        edit(
            QStringLiteral("Name"), [&](Shown& s) { s.song.name = fileNameBytes(text); },
            m_nameStep);
    });
    // Leaving the field ends its step: a later rename is one of its own.
    connect(nameEdit, &QLineEdit::editingFinished, this, [this] { ++m_nameStep; });
    connect(entryList, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        m_shown.selected = item ? entryList->indexOfTopLevelItem(item) : -1;
        showSong();
    });
    connect(&m_history, &QUndoStack::cleanChanged, this, &SongWindow::showFile);
    addShortcuts();
    showSong();
    showFile();
}

SongWindow::~SongWindow() {
    // The history empties itself as it goes, and a field that loses the
    // focus as it goes ends its edit: neither may reach a window that is
    // going too.
    m_history.disconnect();
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

QLayout* SongWindow::fileRow() {
    newButton = new QPushButton(QStringLiteral("New"), this);
    openButton = new QPushButton(QStringLiteral("Open.."), this);
    saveButton = new QPushButton(QStringLiteral("Save"), this);
    saveAsButton = new QPushButton(QStringLiteral("Save As.."), this);
    fileLabel = new QLabel(this);
    fileLabel->setTextFormat(Qt::PlainText);
    connect(newButton, &QPushButton::clicked, this, &SongWindow::newSong);
    connect(openButton, &QPushButton::clicked, this, &SongWindow::openChosen);
    connect(saveButton, &QPushButton::clicked, this, &SongWindow::save);
    connect(saveAsButton, &QPushButton::clicked, this, &SongWindow::saveAs);
    auto* row = new QHBoxLayout;
    for (QPushButton* button : {newButton, openButton, saveButton, saveAsButton})
        row->addWidget(button);
    row->addSpacing(8);
    row->addWidget(fileLabel, 1);
    return row;
}

QLayout* SongWindow::entryButtons() {
    presetCombo = new QComboBox(this);
    presetCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    presetCombo->setMinimumContentsLength(14);
    presetCombo->setToolTip(QStringLiteral("The preset \"Add\" puts after the selected entry."));
    addButton = new QPushButton(QStringLiteral("Add"), this);
    removeButton = new QPushButton(QStringLiteral("Remove"), this);
    upButton = new QPushButton(QStringLiteral("Up"), this);
    downButton = new QPushButton(QStringLiteral("Down"), this);
    duplicateButton = new QPushButton(QStringLiteral("Duplicate"), this);
    connect(addButton, &QPushButton::clicked, this, [this] {
        const int preset = presetCombo->currentIndex();
        if (preset < 0 || static_cast<size_t>(preset) >= m_presets.size())
            return;
        edit(QStringLiteral("Add"), [&](Shown& s) {
            s.selected = insertEntry(s.song.entries, s.selected, {1, {}, m_presets[preset]});
        });
    });
    connect(removeButton, &QPushButton::clicked, this, [this] {
        edit(QStringLiteral("Remove"),
             [](Shown& s) { s.selected = removeEntry(s.song.entries, s.selected); });
    });
    connect(upButton, &QPushButton::clicked, this, [this] {
        edit(QStringLiteral("Up"),
             [](Shown& s) { s.selected = moveEntry(s.song.entries, s.selected, -1); });
    });
    connect(downButton, &QPushButton::clicked, this, [this] {
        edit(QStringLiteral("Down"),
             [](Shown& s) { s.selected = moveEntry(s.song.entries, s.selected, 1); });
    });
    connect(duplicateButton, &QPushButton::clicked, this, [this] {
        edit(QStringLiteral("Duplicate"),
             [](Shown& s) { s.selected = duplicateEntry(s.song.entries, s.selected); });
    });
    auto* column = new QVBoxLayout;
    column->addWidget(presetCombo);
    for (QPushButton* button : {addButton, removeButton, upButton, downButton, duplicateButton})
        column->addWidget(button);
    column->addStretch();
    return column;
}

QLayout* SongWindow::entryFields() {
    passesSpin = new QSpinBox(this);
    passesSpin->setRange(kMinPasses, kMaxPasses);
    passesSpin->setSuffix(QStringLiteral(" passes"));
    // A number typed is one edit, not one per digit.
    passesSpin->setKeyboardTracking(false);
    keyCombo = new QComboBox(this);
    keyCombo->addItem(QStringLiteral("Own key"));
    for (int semitone = 0; semitone < 12; ++semitone)
        keyCombo->addItem(QString::fromLatin1(keyName(semitone)));
    keyCombo->setToolTip(QStringLiteral("The bass key the entry plays in; \"Own key\": the "
                                        "preset's own."));
    connect(passesSpin, &QSpinBox::valueChanged, this, [this](int passes) {
        edit(QStringLiteral("Passes"), [&](Shown& s) {
            if (hasEntry(s))
                s.song.entries[s.selected].passes = passes;
        });
    });
    connect(keyCombo, &QComboBox::activated, this, [this](int index) {
        edit(QStringLiteral("Key"), [&](Shown& s) {
            if (hasEntry(s))
                s.song.entries[s.selected].key =
                    index > 0 ? std::optional(index - 1) : std::nullopt;
        });
    });
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Selected entry:"), this));
    row->addWidget(passesSpin);
    row->addWidget(keyCombo);
    row->addStretch();
    return row;
}

QLayout* SongWindow::playRow() {
    loopBox = new QCheckBox(QStringLiteral("Loop the song"), this);
    loopBox->setToolTip(QStringLiteral("After the last entry the song starts again."));
    playButton = new QPushButton(QStringLiteral("Play song"), this);
    playButton->setToolTip(QStringLiteral("Plays the song from the selected entry."));
    stopButton = new QPushButton(QStringLiteral("Stop"), this);
    connect(loopBox, &QCheckBox::clicked, this, [this](bool on) {
        edit(on ? QStringLiteral("Loop the Song") : QStringLiteral("Play the Song Once"),
             [&](Shown& s) { s.loop = on; });
    });
    connect(playButton, &QPushButton::clicked, this,
            [this] { emit playRequested(std::max(m_shown.selected, 0)); });
    connect(stopButton, &QPushButton::clicked, this, &SongWindow::stopRequested);
    auto* row = new QHBoxLayout;
    row->addWidget(loopBox);
    row->addStretch();
    row->addWidget(playButton);
    row->addWidget(stopButton);
    return row;
}

// The window's own history, whichever of its fields has the focus; the
// main window's stays as it is.
void SongWindow::addShortcuts() {
    const auto add = [this](const QKeySequence& keys, void (QUndoStack::*act)()) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, &m_history, act);
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_Z), &QUndoStack::undo);
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &QUndoStack::redo);
    add(QKeySequence(Qt::CTRL | Qt::Key_Y), &QUndoStack::redo);
    // The fields would take these keys for their own undo of the text.
    nameEdit->installEventFilter(this);
    passesSpin->installEventFilter(this);
}

bool SongWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            key->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Y)) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SongWindow::setPresets(const std::vector<std::string>& presets) {
    const QString chosen = presetCombo->currentText();
    m_presets = presets;
    {
        const QSignalBlocker blocker(presetCombo);
        presetCombo->clear();
        for (const std::string& preset : m_presets)
            presetCombo->addItem(fileNameText(preset));
        presetCombo->setCurrentIndex(std::max(presetCombo->findText(chosen), 0));
    }
    showSong();
}

void SongWindow::setLoopsFolder(std::filesystem::path loopsFolder) {
    m_loopsFolder = std::move(loopsFolder);
}

void SongWindow::setSong(const Song& song, const std::filesystem::path& path) {
    m_path = path;
    m_shown.song = song;
    m_shown.selected = song.entries.empty() ? -1 : 0;
    m_history.clear();
    ++m_nameStep;
    showSong();
    showFile();
}

void SongWindow::showPlaying(int entry, int pass) {
    m_playing = entry;
    m_pass = pass;
    showEntries();
}

void SongWindow::edit(const QString& text, const std::function<void(Shown&)>& change, int mergeId) {
    Shown after = m_shown;
    change(after);
    if (after == m_shown)
        return;
    m_pushing = true;
    m_history.push(new Step(*this, text, mergeId, m_shown, std::move(after)));
    m_pushing = false;
}

void SongWindow::restore(const Shown& shown) {
    m_shown = shown;
    // Typing after an undo or a redo starts a step of its own.
    if (!m_pushing)
        ++m_nameStep;
    showSong();
    emit songEdited();
}

bool SongWindow::hasEntry(const Shown& shown) {
    return shown.selected >= 0 && static_cast<size_t>(shown.selected) < shown.song.entries.size();
}

bool SongWindow::isMissing(const SongEntry& entry) const {
    return std::find(m_presets.begin(), m_presets.end(), entry.preset) == m_presets.end();
}

void SongWindow::showSong() {
    const QString name = fileNameText(m_shown.song.name);
    if (nameEdit->text() != name)
        nameEdit->setText(name);
    const QSignalBlocker loopBlocker(loopBox);
    loopBox->setChecked(m_shown.loop);
    showEntries();

    const int count = static_cast<int>(m_shown.song.entries.size());
    const int selected = m_shown.selected;
    const bool any = hasEntry(m_shown);
    {
        const QSignalBlocker passesBlocker(passesSpin), keyBlocker(keyCombo);
        const SongEntry entry = any ? m_shown.song.entries[selected] : SongEntry{};
        passesSpin->setValue(entry.passes);
        keyCombo->setCurrentIndex(entry.key ? *entry.key + 1 : 0);
    }
    passesSpin->setEnabled(any);
    keyCombo->setEnabled(any);
    removeButton->setEnabled(any);
    duplicateButton->setEnabled(any);
    upButton->setEnabled(any && selected > 0);
    downButton->setEnabled(any && selected < count - 1);
    addButton->setEnabled(!m_presets.empty());
    presetCombo->setEnabled(!m_presets.empty());
}

void SongWindow::showEntries() {
    const QSignalBlocker blocker(entryList);
    const auto& entries = m_shown.song.entries;
    while (entryList->topLevelItemCount() > static_cast<int>(entries.size()))
        delete entryList->takeTopLevelItem(entryList->topLevelItemCount() - 1);
    while (entryList->topLevelItemCount() < static_cast<int>(entries.size()))
        entryList->addTopLevelItem(new QTreeWidgetItem);
    const QBrush missingColour = palette().brush(QPalette::Disabled, QPalette::Text);
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        const SongEntry& entry = entries[i];
        QTreeWidgetItem* item = entryList->topLevelItem(i);
        const bool missing = isMissing(entry), playing = i == m_playing;
        QString preset = fileNameText(entry.preset);
        if (missing)
            preset += QStringLiteral(" (missing)");
        QString passes = QStringLiteral("× %1").arg(entry.passes);
        if (playing)
            passes = QStringLiteral("pass %1 of %2").arg(m_pass).arg(entry.passes);
        item->setText(0, playing ? QStringLiteral("▶ ") + preset : preset);
        item->setText(1, passes);
        item->setText(2, keyText(entry.key));
        item->setToolTip(0, missing ? QStringLiteral("No preset of this name is in the loops "
                                                     "folder; the song keeps it and skips it.")
                                    : QString());
        QFont font = entryList->font();
        font.setBold(playing);
        for (int column = 0; column < 3; ++column) {
            item->setFont(column, font);
            if (missing)
                item->setForeground(column, missingColour);
            else
                item->setData(column, Qt::ForegroundRole, {});
        }
    }
    QTreeWidgetItem* current =
        m_shown.selected >= 0 && m_shown.selected < entryList->topLevelItemCount()
            ? entryList->topLevelItem(m_shown.selected)
            : nullptr;
    entryList->setCurrentItem(current);
    if (current)
        entryList->scrollToItem(current);
}

void SongWindow::showFile() {
    QString text =
        m_path.empty() ? QStringLiteral("New song, not saved yet") : shownFileName(m_path);
    if (!m_path.empty() && !m_history.isClean())
        text += QStringLiteral(" (changed)");
    fileLabel->setText(text);
}

// Whether the song as edited may go: saved, or the musician says so.
bool SongWindow::mayDiscard() {
    if (m_history.isClean())
        return true;
    return dialogs.confirm(QStringLiteral("Discard the changes to this song?"));
}

void SongWindow::newSong() {
    if (!mayDiscard())
        return;
    setSong({}, {});
    emit songEdited();
}

void SongWindow::openChosen() {
    if (!mayDiscard())
        return;
    const std::filesystem::path songs = m_loopsFolder / kSongsFolder;
    std::error_code error;
    const auto chosen =
        dialogs.songToOpen(std::filesystem::is_directory(songs, error) ? songs : m_loopsFolder);
    if (chosen)
        openFile(*chosen);
}

bool SongWindow::openFile(const std::filesystem::path& path) {
    std::string error;
    const std::optional<Song> read = readSongFile(path, error);
    if (!read) {
        dialogs.tell(QStringLiteral("\"%1\" cannot be opened: %2.")
                         .arg(shownFileName(path), QString::fromLocal8Bit(error)));
        return false;
    }
    setSong(*read, path);
    emit songEdited();
    return true;
}

bool SongWindow::writeTo(const std::filesystem::path& path, const bool create, QString& error) {
    const std::optional<QString> target = qtPath(path);
    if (!target) {
        error = QStringLiteral("its name is not UTF-8");
        return false;
    }
    const QByteArray bytes = QByteArray::fromStdString(writeSong(m_shown.song));
    error = create ? createFile(*target, bytes) : replaceFile(*target, bytes);
    return error.isEmpty();
}

bool SongWindow::save() {
    // A file whose name Qt's file functions cannot reach is saved anew.
    if (m_path.empty() || !qtPath(m_path))
        return saveAs();
    QString error;
    if (!writeTo(m_path, false, error)) {
        dialogs.tell(QStringLiteral("The song could not be saved: %1.").arg(error));
        return false;
    }
    m_history.setClean();
    showFile();
    return true;
}

bool SongWindow::saveAs() {
    if (m_loopsFolder.empty()) {
        dialogs.tell(QStringLiteral("There is no loops folder to keep songs in."));
        return false;
    }
    const std::filesystem::path songs = m_loopsFolder / kSongsFolder;
    std::error_code made;
    std::filesystem::create_directory(songs, made);
    std::error_code status;
    if (!std::filesystem::is_directory(songs, status)) {
        dialogs.tell(QStringLiteral("The songs folder could not be made: %1.")
                         .arg(QString::fromLocal8Bit(made ? made.message() : status.message())));
        return false;
    }
    QString suggested = songFileName(fileNameText(m_shown.song.name));
    for (;;) {
        const std::optional<QString> answer = dialogs.saveName(suggested);
        if (!answer)
            return false;
        suggested = songFileName(*answer);
        const std::filesystem::path path = songs / fileNameBytes(suggested);
        QString error;
        if (writeTo(path, true, error)) {
            m_path = path;
            m_history.setClean();
            showFile();
            return true;
        }
        // createFile() never replaces an item, and says so in these words.
        if (error != QStringLiteral("File exists")) {
            dialogs.tell(QStringLiteral("The song could not be saved: %1.").arg(error));
            return false;
        }
        dialogs.tell(QStringLiteral("A song named \"%1\" is already in the songs folder; please "
                                    "choose another name.")
                         .arg(suggested));
    }
}

} // namespace zumbal
