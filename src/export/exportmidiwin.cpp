#include "export/exportmidiwin.h"

#include "export/MidiWriter.h"
#include "loops/FileNames.h"
#include "loops/PresetList.h"
#include "loops/ReplaceFile.h"
#include "song/SongFile.h"
#include "widgets/TextFilter.h"
#include "widgets/WindowLook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace zumbal {

namespace {

QFrame* makeRectangle(const QRect& geometry, const QString& style, QWidget* parent) {
    auto* rectangle = new QFrame(parent);
    rectangle->setGeometry(geometry);
    rectangle->setStyleSheet(style);
    return rectangle;
}

// Does not wait for an answer: the export goes on while it is shown, and the
// window that asked may already be closing.
void warn(QWidget* parent, const QString& message) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Export Midi file"), message,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool anyVariations(const std::vector<ExportPart>& parts) {
    return std::any_of(parts.begin(), parts.end(),
                       [](const ExportPart& part) { return hasVariations(part.loop); });
}

} // namespace

exportmidiwin::exportmidiwin(const globali& g, EventSounds& sounds, QWidget* parent)
    : QDialog(parent), m_g(g), m_sounds(sounds) {
    setWindowTitle(QStringLiteral("Export Midi file"));
    setFixedSize(480, 253);
    setAttribute(Qt::WA_DeleteOnClose);
    setBackground(this, QColor(0x8E, 0x8E, 0x8E));
    buildControls();
    m_bar = new ButtonBar(this, ButtonTable::Dialog, m_sounds);
    connect(m_bar, &ButtonBar::gestisci_evento_bottone, this,
            &exportmidiwin::gestisci_evento_bottone);
}

void exportmidiwin::buildControls() {
    const QColor ink(0x7E, 0x3C, 0x40);
    Rectangle1 = makeRectangle(
        {0, 0, 480, 253}, QStringLiteral("background: #8E8E8E; border: 1px solid #FFFF66;"), this);

    ListBox1 = new QTreeWidget(this);
    ListBox1->setGeometry(10, 10, 220, 220);
    ListBox1->setFont(arial(12, false));
    ListBox1->setColumnCount(1);
    ListBox1->setHeaderLabel(QStringLiteral("Select loop to save as Midi"));
    ListBox1->setRootIsDecorated(false);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(ListBox1, &QTreeWidget::itemSelectionChanged, this, &exportmidiwin::ListBox1_Change);

    Rectangle5 = makeRectangle({238, 15, 2, 210},
                               QStringLiteral("background: #CBB7A3; border: none;"), this);

    StaticText1 = makeLabel(QStringLiteral("Repeat"), {251, 10, 80, 20}, arial(18), ink, this);
    StaticT = makeLabel(QStringLiteral("4"), {392, 10, 32, 20}, arial(18), ink, this);
    StaticText2 = makeLabel(QStringLiteral("Times"), {426, 12, 40, 20}, arial(12), ink, this);

    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setGeometry(248, 40, 220, 16);
    Slider1->setRange(kMinRepeats, kMaxRepeats);
    Slider1->setSingleStep(1);
    Slider1->setValue(4);
    connect(Slider1, &QSlider::valueChanged, this, &exportmidiwin::Slider1_ValueChanged);

    StaticText4 =
        makeLabel(QStringLiteral("Save midi file as"), {251, 65, 200, 20}, arial(18), ink, this);
    EditField1 = new QLineEdit(this);
    EditField1->setGeometry(248, 88, 219, 20);
    EditField1->setMaxLength(32);
    EditField1->setFont(arial(12, false));
    EditField1->setStyleSheet(QStringLiteral("QLineEdit { color: #000080; background: #E6E6E6; }"));
    connect(EditField1, &QLineEdit::textChanged, this, &exportmidiwin::EditField1_TextChange);

    StaticText5 =
        makeLabel(QStringLiteral("Saving location"), {251, 120, 200, 20}, arial(18), ink, this);
    m_targets = new QButtonGroup(this);
    const std::array<std::pair<QString, QRect>, 4> targets{{
        {QStringLiteral("Desktop"), {248, 145, 100, 20}},
        {QStringLiteral("Document"), {363, 145, 100, 20}},
        {QStringLiteral("Application"), {248, 168, 100, 20}},
        {QStringLiteral("Choose.."), {363, 167, 100, 20}},
    }};
    for (int i = 0; i < 4; ++i) {
        RadioBu[i] = new QRadioButton(targets[i].first, this);
        RadioBu[i]->setGeometry(targets[i].second);
        RadioBu[i]->setFont(arial(12, false));
        m_targets->addButton(RadioBu[i], i);
    }
    RadioBu[0]->setChecked(true);
    connect(m_targets, &QButtonGroup::idClicked, this, &exportmidiwin::RadioBu_Action);

    StaticText6 = makeLabel({}, {10, 237, 460, 12}, arial(10), QColor(0xE6, 0xE6, 0xE6), this);

    StaticText7 = makeLabel(QStringLiteral("Seed"), {12, 207, 50, 20}, arial(18), ink, this);
    EditField2 = new QLineEdit(QString::number(kDefaultExportSeed), this);
    EditField2->setGeometry(64, 207, 166, 20);
    EditField2->setMaxLength(20);
    EditField2->setFont(arial(12, false));
    EditField2->setStyleSheet(QStringLiteral("QLineEdit { color: #000080; background: #E6E6E6; }"));
    EditField2->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,20}")), EditField2));
    showSeed(false);
    setLoopChosen(false);
}

void exportmidiwin::Event_Open() {
    m_bar->addButton({248, 195, 220, 40}, {"Arial", 14, "Close"}, kPushButton);
    nome_emf.clear();
    setTarget(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    ListBox1_Open();
    show();
}

void exportmidiwin::ListBox1_Open() {
    ListBox1->clear();
    std::error_code error;
    if (m_g.drumloopsfolder.empty() || !std::filesystem::is_directory(m_g.drumloopsfolder, error))
        return;
    for (const std::string& name : listLoopFiles(m_g.drumloopsfolder))
        new QTreeWidgetItem(ListBox1, {fileNameText(name)});
    // The songs after the loops, told apart by their word.
    for (const std::string& name : listSongFiles(m_g.drumloopsfolder / kSongsFolder)) {
        auto* row = new QTreeWidgetItem(ListBox1, {QStringLiteral("Song: ") + fileNameText(name)});
        row->setData(0, Qt::UserRole, QByteArray::fromStdString(name));
    }
}

void exportmidiwin::setLoopChosen(bool chosen) {
    Slider1->setEnabled(chosen);
    EditField1->setEnabled(chosen);
    for (QRadioButton* radio : RadioBu)
        radio->setEnabled(chosen);
    if (m_bar)
        m_bar->setCaption(0, chosen ? QStringLiteral("Export loop") : QStringLiteral("Close"));
}

// The list makes room for the seed below it.
void exportmidiwin::showSeed(bool shown) {
    ListBox1->setFixedHeight(shown ? 190 : 220);
    StaticText7->setVisible(shown);
    EditField2->setVisible(shown);
    if (const QList<QTreeWidgetItem*> rows = ListBox1->selectedItems(); !rows.isEmpty())
        ListBox1->scrollToItem(rows.first());
}

void exportmidiwin::ListBox1_Change() {
    const QList<QTreeWidgetItem*> rows = ListBox1->selectedItems();
    if (rows.isEmpty()) {
        nome_emf.clear();
        EditField1->clear();
        showSeed(false);
        setLoopChosen(false);
        m_sounds.play(SoundId::ButtonC);
        return;
    }
    m_song = rows.first()->data(0, Qt::UserRole).toByteArray().toStdString();
    nome_emf = m_song.empty() ? rows.first()->text(0) : fileNameText(m_song);
    EditField1->setText(nome_emf);
    setLoopChosen(true);
    // A song's entries play their own passes.
    Slider1->setEnabled(m_song.empty());
    const std::optional<std::vector<ExportPart>> parts = chosenParts(true);
    showSeed(parts && anyVariations(*parts));
    m_sounds.play(SoundId::PublicD);
}

void exportmidiwin::Slider1_ValueChanged(int value) {
    StaticT->setText(QString::number(value));
}

void exportmidiwin::setTarget(const QString& folder) {
    dovesalvare = folder;
    StaticText6->setText(QStringLiteral("Save to path: ") + QDir::toNativeSeparators(folder));
}

void exportmidiwin::RadioBu_Action(int index) {
    switch (index) {
    case 0:
        setTarget(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
        break;
    case 1:
        setTarget(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        break;
    case 2:
        setTarget(QCoreApplication::applicationDirPath());
        break;
    case 3: {
        const QString folder =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Choose.."), dovesalvare);
        if (folder.isEmpty()) {
            RadioBu[0]->setChecked(true);
            RadioBu_Action(0);
        } else {
            setTarget(folder);
        }
        break;
    }
    default:
        break;
    }
}

void exportmidiwin::EditField1_TextChange() {
    // The whole text is filtered, not just the last character typed, so a
    // pasted or dropped name cannot bring in a path separator. The caret
    // position counts UTF-16 units; the filter counts UTF-8 bytes.
    const QString text = EditField1->text();
    const int caret = static_cast<int>(text.left(EditField1->cursorPosition()).toUtf8().size());
    const FilteredText kept = keepNameCharacters(text.toStdString(), caret);
    const QString name = QString::fromStdString(kept.text);
    if (name == text)
        return;
    EditField1->setText(name);
    EditField1->setCursorPosition(kept.cursor);
}

void exportmidiwin::gestisci_evento_bottone(int, int) {
    if (nome_emf.isEmpty())
        close();
    else
        exportLoop();
}

void exportmidiwin::exportLoop() {
    const std::optional<uint64_t> chances = seed();
    if (!chances)
        return;
    const std::optional<std::vector<ExportPart>> parts = chosenParts();
    if (!parts)
        return;
    const QString path = QDir(dovesalvare)
                             .filePath(QString::fromStdString(exportFileName(
                                 EditField1->text().toStdString(), nome_emf.toStdString())));
    // This window is gone by the time a failure could be reported.
    QWidget* owner = parentWidget();
    close();

    m_sounds.playIfOn(SoundId::Loaded2);
    const std::vector<uint8_t> bytes = writeMidiFile(*parts, *chances);
    if (bytes.empty()) {
        warn(owner, QStringLiteral("\"%1\" is too long for one MIDI file.").arg(nome_emf));
        return;
    }
    QDir().mkpath(dovesalvare);
    const QString error = replaceFile(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<qsizetype>(bytes.size())));
    if (!error.isEmpty())
        warn(owner, QStringLiteral("The export failed: \"%1\" could not be written (%2).")
                        .arg(QDir::toNativeSeparators(path), error));
}

std::optional<uint64_t> exportmidiwin::seed() {
    if (EditField2->isHidden())
        return kDefaultExportSeed;
    bool ok = false;
    const uint64_t value = EditField2->text().toULongLong(&ok, 10);
    if (!ok) {
        warn(this, QStringLiteral("The seed is a whole number from 0 to 18446744073709551615."));
        return std::nullopt;
    }
    return value;
}

std::optional<std::vector<ExportPart>> exportmidiwin::chosenParts(bool quiet) {
    return songChosen() ? songParts(quiet) : loopPart(quiet);
}

// One part, the loop for the passes chosen: written as the loop's export.
std::optional<std::vector<ExportPart>> exportmidiwin::loopPart(bool quiet) {
    QString readError;
    const auto text = readLoopBytes(m_g.drumloopsfolder / fileNameBytes(nome_emf), readError);
    if (!text) {
        if (!quiet)
            warn(this,
                 QStringLiteral("The loop \"%1\" could not be read: %2").arg(nome_emf, readError));
        return std::nullopt;
    }
    return std::vector<ExportPart>{{readLoopForExport(*text), Slider1->value(), 0}};
}

std::optional<std::vector<ExportPart>> exportmidiwin::songParts(bool quiet) {
    std::string reason;
    const std::optional<Song> song =
        readSongFile(m_g.drumloopsfolder / kSongsFolder / m_song, reason);
    if (!song) {
        if (!quiet)
            warn(this, QStringLiteral("The song \"%1\" could not be read: %2")
                           .arg(nome_emf, QString::fromLocal8Bit(reason.c_str())));
        return std::nullopt;
    }
    // An entry whose preset is missing is left out, as when the song plays.
    std::vector<ExportPart> parts;
    for (const SongEntry& entry : song->entries) {
        QString error;
        if (const auto text = readLoopBytes(m_g.drumloopsfolder / entry.preset, error))
            // A key moves a loop just loaded by its semitone, as its FastSwitch letter does.
            parts.push_back({readLoopForExport(*text), entry.passes, entry.key.value_or(0)});
    }
    if (parts.empty()) {
        if (!quiet)
            warn(this, QStringLiteral("The song \"%1\" has nothing to play: none of its presets "
                                      "is in the loops folder.")
                           .arg(nome_emf));
        return std::nullopt;
    }
    return parts;
}

} // namespace zumbal
