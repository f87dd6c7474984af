#include "windows/livesettingswin.h"

#include "loops/FileNames.h"
#include "midi/LiveActions.h"
#include "widgets/WindowLook.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace zumbal {

namespace {

QString waitingText() {
    return QStringLiteral("press a pedal or key...");
}

QSpinBox* channelSpin(int value, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(1, 16);
    spin->setValue(value);
    return spin;
}

QGroupBox* group(const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setFont(arial(13));
    return box;
}

// Group contents in the window's plain font, not the bold title's.
QGridLayout* groupGrid(QGroupBox* box) {
    auto* content = new QWidget(box);
    content->setFont(arial(13, false));
    auto* outer = new QVBoxLayout(box);
    outer->setContentsMargins(8, 4, 8, 8);
    outer->addWidget(content);
    auto* grid = new QGridLayout(content);
    grid->setContentsMargins(0, 0, 0, 0);
    return grid;
}

} // namespace

livesettingswin::livesettingswin(const LiveSettings& current, const QString& midiStatus,
                                 QWidget* parent, const std::vector<std::string>& presets)
    : QWidget(parent, Qt::Dialog), m_edited(current) {
    setWindowTitle(QStringLiteral("Live Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(arial(13, false));
    statusLabel = new QLabel(midiStatus, this);
    statusLabel->setFont(arial(12, false));
    statusLabel->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(playingGroup(presets));
    layout->addWidget(inputGroup());
    layout->addWidget(syncGroup());
    layout->addSpacing(2);
    layout->addWidget(statusLabel);
    layout->addSpacing(4);
    layout->addLayout(buttonRow());
    showBindings();
}

QWidget* livesettingswin::playingGroup(const std::vector<std::string>& presets) {
    QGroupBox* box = group(QStringLiteral("Playing and MIDI output"), this);
    QGridLayout* grid = groupGrid(box);
    QWidget* content = grid->parentWidget();
    barLineBox = new QCheckBox(QStringLiteral("Switch at the bar line"), content);
    barLineBox->setChecked(m_edited.switchAtBarLine);
    barLineBox->setToolTip(QStringLiteral("A preset or transposition chosen while playing takes "
                                          "effect at the next stroke 1."));
    drumsSpin = channelSpin(m_edited.drumChannel, content);
    bassSpin = channelSpin(m_edited.bassChannel, content);
    clockBox = new QCheckBox(QStringLiteral("Send clock while stopped"), content);
    clockBox->setChecked(m_edited.clockWhileStopped);
    grid->addWidget(barLineBox, 0, 0, 1, 5);
    grid->addWidget(new QLabel(QStringLiteral("Drums channel"), content), 1, 0);
    grid->addWidget(drumsSpin, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Bass channel"), content), 1, 3);
    grid->addWidget(bassSpin, 1, 4);
    grid->addWidget(clockBox, 2, 0, 1, 5);
    // The fill's preset; one gone from the list stays chosen.
    fillCombo = new QComboBox(content);
    fillCombo->addItem(QStringLiteral("None"));
    std::vector<std::string> names = presets;
    if (!m_edited.fillPreset.empty() &&
        std::find(names.begin(), names.end(), m_edited.fillPreset) == names.end())
        names.push_back(m_edited.fillPreset);
    for (const std::string& name : names)
        fillCombo->addItem(fileNameText(name), QByteArray::fromStdString(name));
    fillCombo->setCurrentIndex(
        std::max(0, fillCombo->findData(QByteArray::fromStdString(m_edited.fillPreset))));
    fillCombo->setToolTip(QStringLiteral("Fill (B) plays this preset for one pass at the next "
                                         "stroke 1, then the loop comes back."));
    connect(fillCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_edited.fillPreset = fillCombo->itemData(index).toByteArray().toStdString();
    });
    grid->addWidget(new QLabel(QStringLiteral("Fill"), content), 3, 0);
    grid->addWidget(fillCombo, 3, 1, 1, 4);
    grid->setColumnMinimumWidth(2, 16);
    grid->setColumnStretch(5, 1);
    connect(barLineBox, &QCheckBox::toggled, this,
            [this](bool on) { m_edited.switchAtBarLine = on; });
    connect(drumsSpin, &QSpinBox::valueChanged, this, [this](int c) { m_edited.drumChannel = c; });
    connect(bassSpin, &QSpinBox::valueChanged, this, [this](int c) { m_edited.bassChannel = c; });
    connect(clockBox, &QCheckBox::toggled, this,
            [this](bool on) { m_edited.clockWhileStopped = on; });
    return box;
}

QWidget* livesettingswin::syncGroup() {
    QGroupBox* box = group(QStringLiteral("Sync"), this);
    QGridLayout* grid = groupGrid(box);
    QWidget* content = grid->parentWidget();
    static constexpr std::array<const char*, 4> names{"Internal", "JACK transport", "MIDI clock",
                                                      "Ableton Link"};
    for (size_t i = 0; i < names.size(); ++i) {
        syncButtons[i] = new QRadioButton(QString::fromLatin1(names[i]), content);
        syncButtons[i]->setChecked(static_cast<size_t>(m_edited.sync) == i);
        grid->addWidget(syncButtons[i], static_cast<int>(i / 2), static_cast<int>(i % 2));
        connect(syncButtons[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (!on)
                return;
            m_edited.sync = static_cast<sync::Source>(i);
            showSyncChoice();
        });
    }
    leadTransportBox = new QCheckBox(QStringLiteral("Lead the JACK transport"), content);
    leadTransportBox->setChecked(m_edited.leadJackTransport);
    leadTransportBox->setToolTip(QStringLiteral("On Zumbal's own clock: a DAW or a looper on the "
                                                "JACK transport follows Zumbal."));
    linkStartStopBox =
        new QCheckBox(QStringLiteral("Start and stop with the Link session"), content);
    linkStartStopBox->setChecked(m_edited.linkStartStop);
    grid->addWidget(leadTransportBox, 2, 0, 1, 2);
    grid->addWidget(linkStartStopBox, 3, 0, 1, 2);
    connect(leadTransportBox, &QCheckBox::toggled, this,
            [this](bool on) { m_edited.leadJackTransport = on; });
    connect(linkStartStopBox, &QCheckBox::toggled, this,
            [this](bool on) { m_edited.linkStartStop = on; });
    showSyncChoice();
    return box;
}

// Leading the transport goes with Zumbal's own clock, start and stop with Link.
void livesettingswin::showSyncChoice() {
    leadTransportBox->setEnabled(m_edited.sync == sync::Source::Internal);
    linkStartStopBox->setEnabled(m_edited.sync == sync::Source::Link);
}

QWidget* livesettingswin::inputGroup() {
    QGroupBox* box = group(QStringLiteral("MIDI input"), this);
    QGridLayout* grid = groupGrid(box);
    inputCombo = new QComboBox(grid->parentWidget());
    inputCombo->addItem(QStringLiteral("All channels"));
    for (int c = 1; c <= 16; ++c)
        inputCombo->addItem(QString::number(c));
    inputCombo->setCurrentIndex(std::clamp(m_edited.inputChannel, 0, 16));
    connect(inputCombo, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_edited.inputChannel = index; });
    auto* listen = new QHBoxLayout;
    listen->addWidget(new QLabel(QStringLiteral("Listen on channel"), grid->parentWidget()));
    listen->addWidget(inputCombo);
    listen->addStretch();
    grid->addLayout(listen, 0, 0, 1, 4);
    grid->setRowMinimumHeight(1, 6);
    for (int row = 0; row < kBindables; ++row)
        addBindingRow(grid, row);
    grid->setColumnStretch(1, 1);
    return box;
}

void livesettingswin::addBindingRow(QGridLayout* grid, int row) {
    QWidget* content = grid->parentWidget();
    auto* name = new QLabel(QString::fromUtf8(bindableName(static_cast<Bindable>(row))), content);
    auto* shown = new QLabel(content);
    // Wide enough for the longest description, so learning never resizes the window.
    const QFontMetrics metrics(content->font());
    shown->setMinimumWidth(
        std::max(metrics.horizontalAdvance(QStringLiteral("Note C#-1 (1), ch 16")),
                 metrics.horizontalAdvance(waitingText())) +
        8);
    bindingLabels[row] = shown;
    learnButtons[row] = new QPushButton(QStringLiteral("Learn"), content);
    learnButtons[row]->setCheckable(true);
    clearButtons[row] = new QPushButton(QStringLiteral("Clear"), content);
    const int line = row + 2; // under the channel choice and a gap
    grid->addWidget(name, line, 0);
    grid->addWidget(shown, line, 1);
    grid->addWidget(learnButtons[row], line, 2);
    grid->addWidget(clearButtons[row], line, 3);
    connect(learnButtons[row], &QPushButton::clicked, this, [this, row] { learn(row); });
    connect(clearButtons[row], &QPushButton::clicked, this, [this, row] {
        if (m_waiting == row)
            m_waiting.reset();
        setBinding(row, {});
    });
}

QLayout* livesettingswin::buttonRow() {
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    saveButton = new QPushButton(QStringLiteral("Save"), this);
    for (QPushButton* button : {cancelButton, saveButton}) {
        button->setFont(arial(14));
        button->setMinimumWidth(100);
    }
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
    connect(saveButton, &QPushButton::clicked, this, [this] {
        emit saved(m_edited);
        close();
    });
    auto* escape = new QShortcut(QKeySequence::Cancel, this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancelButton);
    row->addWidget(saveButton);
    return row;
}

void livesettingswin::midiReceived(const MidiMessage& m) {
    if (!m_waiting)
        return;
    const auto binding = learnableBinding(m);
    if (!binding)
        return;
    const int row = *m_waiting;
    m_waiting.reset();
    setBinding(row, *binding);
}

// Pressing Learn again on the waiting row stops waiting.
void livesettingswin::learn(int row) {
    if (m_waiting == row)
        m_waiting.reset();
    else
        m_waiting = row;
    showBindings();
}

// A control acts on one action only, so a binding another row had moves here.
void livesettingswin::setBinding(int row, const Binding& binding) {
    if (binding.kind != BindingKind::None)
        std::replace(m_edited.bindings.begin(), m_edited.bindings.end(), binding, Binding{});
    m_edited.bindings[row] = binding;
    showBindings();
}

void livesettingswin::showBindings() {
    for (int row = 0; row < kBindables; ++row) {
        const bool waiting = m_waiting == row;
        const std::string text = describeBinding(m_edited.bindings[row]);
        QLabel* shown = bindingLabels[row];
        shown->setText(waiting        ? waitingText()
                       : text.empty() ? QStringLiteral("none")
                                      : QString::fromStdString(text));
        shown->setEnabled(waiting || !text.empty());
        QFont font = shown->font();
        font.setItalic(waiting);
        shown->setFont(font);
        learnButtons[row]->setChecked(waiting);
        clearButtons[row]->setEnabled(!text.empty());
    }
}

} // namespace zumbal
