#include "editor/Window_t1.h"

#include "assets/Links.h"
#include "editor/BeatSettings.h"
#include "editor/GridGeometry.h"
#include "loops/FileNames.h"
#include "loops/LoopModel.h"
#include "playback/BassLine.h"
#include "playback/StrokeStep.h"
#include "widgets/WindowLook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLayout>
#include <QScopeGuard>
#include <QStandardItemModel>

namespace zumbal {

namespace {

// The captions of the tempo and presets controls.
QLabel* makeLabel(const QString& text, const QRect& geometry, QWidget* parent) {
    return zumbal::makeLabel(text, geometry, arial(12), QColor(0xE6, 0xE6, 0xE6), parent);
}

} // namespace

Window_t1::Window_t1(globali& g, PlaybackEngine& engine, EventSounds& sounds, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                              Qt::CustomizeWindowHint),
      m_g(g), m_engine(engine), m_sounds(sounds), m_library(g), m_barLine(engine),
      m_history([this] { return snapshot(); },
                [this](const LoopSnapshot& shown) { showSnapshot(shown); }) {
    setWindowTitle(QStringLiteral("Zumbal"));
    m_client = new Backdrop(this);
    m_client->setFixedSize(kClientWidth, kClientHeight);
    m_client->setFocusPolicy(Qt::StrongFocus);
    connect(m_client, &Backdrop::mouseDown, this, &Window_t1::Event_MouseDown);
    setCentralWidget(m_client);
    // The window takes exactly the client area plus the menu bar; the user cannot resize it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    buildControls();
    m_fields = new TrackFields(m_g, m_client, this);
    connect(m_fields, &TrackFields::instrumentChanged, this, &Window_t1::instrumentChanged);
    connect(m_fields, &TrackFields::volumeChanged, this, &Window_t1::trackVolumeChanged);
    // Typing into a field is one step until the focus moves on.
    for (int t = 0; t < kTracks; ++t)
        for (EditField_Numero* field : {m_fields->EditFI[t], m_fields->EditFV[t]})
            connect(field, &EditField_Numero::lostFocus, this, &Window_t1::closeEditStep);
    connect(m_fields, &TrackFields::spaceBar, this, &Window_t1::play_pausa);
    connect(m_fields, &TrackFields::drumsWindowRequested, this, &Window_t1::drumsWindowRequested);
    connect(m_fields, &TrackFields::volumeWindowRequested, this,
            [this](int t, QPoint topLeft) { emit volumeWindowRequested(true, t, 0, topLeft); });
    m_keyboard = new BassKeyboard(m_client);
    connect(m_keyboard, &BassKeyboard::transposeRequested, this, &Window_t1::transpose);

    m_buttons = new MainButtons(m_g, m_client, m_sounds);
    connect(&m_buttons->bar(), &ButtonBar::gestisci_evento_bottone, this,
            &Window_t1::gestisci_evento_bottone);

    m_lampTimer.setInterval(30);
    connect(&m_lampTimer, &QTimer::timeout, this, &Window_t1::updateLamp);
}

Window_t1::~Window_t1() {
    // Closing the child widgets still sends signals (a field losing the
    // focus); by then this window is no longer there to handle them.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

namespace {

// A track as the Edit menu names it: "Track 3" for DRUM 3, or "Bass".
QString trackName(int t) {
    return t == kBassTrack ? QStringLiteral("Bass") : QStringLiteral("Track %1").arg(t + 1);
}

// The Edit menu's name for switching button `i` on or off; the push buttons edit nothing.
QString buttonEdit(int i, bool on) {
    if (i < kDrumTracks || i == kBassButton)
        return (on ? QStringLiteral("Unmute ") : QStringLiteral("Mute ")) +
               trackName(i < kDrumTracks ? i : kBassTrack);
    if (i < 2 * kDrumTracks)
        return (on ? QStringLiteral("Fill ") : QStringLiteral("Clear ")) +
               trackName(i - kDrumTracks);
    if (i == kThreeFourButton)
        return QStringLiteral("3/4");
    if (i == kTernaryButton)
        return QStringLiteral("ter");
    return {};
}

} // namespace

void Window_t1::buildControls() {
    CanvasImageW = new GridEditor(m_g, m_client);
    CanvasImageW->setGeometry(QRect(kGridPosition, QSize(590, 285)));
    CanvasImageW->setToolTip(
        QStringLiteral("Click to switch this drum stroke ON and OFF (if enabled).\nControl-Click "
                       "(or right mouse button click) to show a volume selection slider for this "
                       "drum stroke.\nMiddle-click a stroke that is on to set how it varies."));
    connect(CanvasImageW, &GridEditor::mouseDown, this, &Window_t1::CanvasImageW_MouseDown);
    connect(CanvasImageW, &GridEditor::middleDown, this, &Window_t1::gridMiddleDown);

    CanvasTempo = new TempoLamp(m_client);
    CanvasTempo->setGeometry(122, 317, 12, 12);

    Slider1 = new QSlider(Qt::Horizontal, m_client);
    Slider1->setGeometry(170, 324, 230, 20);
    Slider1->setRange(kMinTempo, kMaxTempo);
    Slider1->setValue(kStartTempo);
    Slider1->setToolTip(QStringLiteral("Set loop tempo"));
    Slider1->setFocusPolicy(Qt::NoFocus);
    connect(Slider1, &QSlider::valueChanged, this, &Window_t1::Slider1_ValueChanged);
    // A drag of the slider is one step.
    connect(Slider1, &QSlider::sliderPressed, this, &Window_t1::closeEditStep);
    connect(Slider1, &QSlider::sliderReleased, this, &Window_t1::closeEditStep);

    StaticText14 = makeLabel(QStringLiteral("Tempo"), {170, 302, 50, 22}, m_client);
    StaticText13 = makeLabel(QStringLiteral("120"), {350, 302, 50, 22}, m_client);
    for (QLabel* label : {StaticText13, StaticText14}) {
        label->setToolTip(QStringLiteral("Click in time, or press T, to tap the tempo"));
        label->installEventFilter(this);
    }
    m_sinceStart.start();
    StaticText16 = makeLabel(m_loopName, {512, 302, 230, 22}, m_client);
    // A badge, read from the player's distance: green while Zumbal follows
    // or leads, red while it waits or has lost its master.
    m_syncLabel = zumbal::makeLabel(QString(), {216, 302, 128, 21}, arial(14), Qt::white, m_client,
                                    Qt::AlignCenter);
    m_syncLabel->hide();
    m_songLabel = zumbal::makeLabel(QString(), {512, 302, 230, 22}, arial(14), Qt::black, m_client,
                                    Qt::AlignLeft | Qt::AlignVCenter);
    m_songLabel->setStyleSheet(
        QStringLiteral("background: #7FD1FF; font-weight: bold; border-radius: 4px"));
    m_songLabel->hide();

    PopupMenu1 = new QComboBox(m_client);
    PopupMenu1->setGeometry(512, 324, 230, 22);
    PopupMenu1->addItem(QStringLiteral("Loops Presets"));
    PopupMenu1->addItem(QStringLiteral("-"));
    PopupMenu1->setFocusPolicy(Qt::NoFocus);
    connect(PopupMenu1, &QComboBox::activated, this, &Window_t1::PopupMenu1_Change);
}

void Window_t1::Event_Open(const LoopRecord* opened, const QString& name) {
    creapopupmenu();
    m_keyboard->crea_notearray();
    dati_dei_bottoni();
    m_g.ter_3_4 = false;
    m_g.ter_ter = false;
    setStartupLoop(m_g);
    if (opened) {
        loadIntoModel(m_g, *opened, true);
        m_g.nome_file = fileNameBytes(name);
    }
    m_engine.start();
    m_lampTimer.start();
    show();
    m_client->setFocus();
    if (opened)
        showLoop(name);
    else
        for (int c : {0, 8, 20, 28, kFirstBassCell})
            disegna_drum(c, kNoOrigin, 0);
    CanvasImageW->markBassCell(kFirstBassCell);
    m_history.start();
}

void Window_t1::dati_dei_bottoni() {
    m_buttons->dati_dei_bottoni();
    // The tempo lamp lies inside the play button's right end.
    CanvasTempo->raise();
}

void Window_t1::setButtonState(int i, int state) {
    m_buttons->setButtonState(i, state);
}

void Window_t1::gestisci_evento_bottone(int i, int state) {
    const bool on = isOn(state);
    if (i >= kDrumTracks && i < 2 * kDrumTracks) {
        fillDrumTrack(i - kDrumTracks, state);
    } else if (i == kPlayButton) {
        play_pausa();
    } else if (i == kWebButton) {
        QDesktopServices::openUrl(guideUrl(kDrumLoopsPage));
    } else if (i == kThreeFourButton) {
        m_g.ter_3_4 = on;
        impostabeat_3_4();
    } else if (i == kTernaryButton) {
        m_g.ter_ter = on;
        impostabeat_ter();
    }
    recordEdit(buttonEdit(i, on));
}

void Window_t1::play_pausa() {
    if (m_g.battito < 1) {
        emit aboutToPlay();
        m_engine.start();
    } else {
        m_engine.stop();
        withdrawSwitch();
    }
    m_sounds.playIfOn(SoundId::Loaded1);
}

void Window_t1::Slider1_ValueChanged(int value) {
    m_g.tempo = value;
    StaticText13->setText(m_syncView.tempo.isEmpty() ? QString::number(value) : m_syncView.tempo);
    recordEdit(QStringLiteral("Tempo"), QStringLiteral("tempo"));
}

void Window_t1::impostabeat_3_4() {
    const auto before = cells();
    zumbal::impostabeat_3_4(m_g);
    drawChanged(before);
}

void Window_t1::impostabeat_ter() {
    const auto before = cells();
    zumbal::impostabeat_ter(m_g);
    drawChanged(before);
}

void Window_t1::aggiorna_bottone(int i) {
    m_buttons->aggiorna_bottone(i);
}

void Window_t1::updateLamp() {
    collectLandedSwitch();
    const uint32_t played = m_engine.strokesPlayed();
    if (played == m_strokesSeen)
        return;
    m_strokesSeen = played;
    CanvasTempo->setColour(QColor::fromHsvF(indicatorHue(m_engine.lastStroke()), 1.0, 0.8));
}

void Window_t1::keyPressEvent(QKeyEvent* event) {
    // The arrows arrive as the character codes 28 to 31 (left, right, up, down).
    switch (event->key()) {
    case Qt::Key_Left:
        Event_KeyDown(QString(QChar(28)));
        break;
    case Qt::Key_Right:
        Event_KeyDown(QString(QChar(29)));
        break;
    case Qt::Key_Up:
        Event_KeyDown(QString(QChar(30)));
        break;
    case Qt::Key_Down:
        Event_KeyDown(QString(QChar(31)));
        break;
    default:
        Event_KeyDown(event->text());
    }
    QMainWindow::keyPressEvent(event);
}

void Window_t1::Event_KeyDown(const QString& key) {
    if (key == QLatin1String(" "))
        play_pausa();
    if (!m_g.fastswitch && key.compare(QLatin1String("t"), Qt::CaseInsensitive) == 0)
        tapTempo();
    if (!m_g.fastswitch || key.size() != 1)
        return;
    const int m = fastSwitchTransposition(key.at(0).unicode(), m_g.trans_start);
    if (m != 0 && m_barLine.waits(m_g)) {
        collectLandedSwitch();
        m_barLine.queueKey(key.at(0).unicode());
        showSwitchState();
    } else if (m != 0) {
        transpose(m);
    }
    presetKey(key.at(0).unicode());
}

void Window_t1::closeEvent(QCloseEvent* event) {
    emit closing();
    event->accept();
    QApplication::quit();
}

void Window_t1::disegna_drum(int cell, int x, int y) {
    CanvasImageW->disegna_drum(cell, x, y);
    emit cellDrawn(cell);
}

std::array<int, kCells> Window_t1::cells() const {
    std::array<int, kCells> codes{};
    for (int c = 0; c < kCells; ++c)
        codes[c] = m_g.pp[c];
    return codes;
}

void Window_t1::drawChanged(const std::array<int, kCells>& before) {
    for (int c = 0; c < kCells; ++c)
        if (m_g.pp[c] != before[c])
            disegna_drum(c, kNoOrigin, 0);
}

void Window_t1::instrumentChanged(int t, int note) {
    if (t == kBassTrack)
        m_engine.players()[kBassTrack].setInstrument(note);
    else
        CanvasImageW->setInstrument(t, note);
    recordEdit(QStringLiteral("Instrument ") + trackName(t),
               QStringLiteral("instrument %1").arg(t));
}

void Window_t1::trackVolumeChanged(int t) {
    recordEdit(QStringLiteral("Volume ") + trackName(t), QStringLiteral("volume %1").arg(t));
}

void Window_t1::CanvasImageW_MouseDown(int x, int y, bool contextual) {
    const std::optional<CellHit> hit = hitTest(x, y);
    if (!hit || m_g.pp[hit->cell] == kDisabled)
        return;
    if (contextual) {
        const QPoint client = m_client->mapToGlobal(QPoint(0, 0));
        const QPoint cell = kGridPosition + QPoint(hit->origin.x, hit->origin.y);
        emit volumeWindowRequested(false, hit->cell / kStrokes, hit->cell % kStrokes,
                                   client + cell - QPoint(137, 30));
        return;
    }
    gestisci_drum(hit->cell, hit->origin.x, hit->origin.y);
}

void Window_t1::gridMiddleDown(int x, int y) {
    const std::optional<CellHit> hit = hitTest(x, y);
    if (!hit || !isStep(hit->cell, m_g.pp[hit->cell]))
        return;
    const QPoint cell = kGridPosition + QPoint(hit->origin.x, hit->origin.y + 32);
    emit stepWindowRequested(hit->cell, m_client->mapToGlobal(cell));
}

void Window_t1::gestisci_drum(int cell, int x, int y) {
    if (cell < kFirstBassCell) {
        m_g.pp[cell] = toggledDrumCode(m_g.pp[cell]);
        disegna_drum(cell, x, y);
        recordEdit(QStringLiteral("Stroke"));
        return;
    }
    if (m_g.pp[cell] > kBassRest && cell == m_g.key_tasto_indice) {
        m_g.pp[cell] = kBassRest;
        disegna_drum(cell, x, y);
        recordEdit(QStringLiteral("Delete Bass Note"));
    }
    disegna_drum(m_g.key_tasto_indice, kNoOrigin, 0);
    m_g.key_tasto_indice = cell;
    CanvasImageW->markBassCell(cell);
}

void Window_t1::Event_MouseDown(int x, int y) {
    const std::optional<int> note = m_keyboard->noteAt(x, y);
    if (!note)
        return;
    const int cell = m_g.key_tasto_indice;
    m_g.pp[cell] = *note;
    disegna_drum(cell, kNoOrigin, 0);
    recordEdit(QStringLiteral("Bass Note"));
}

void Window_t1::fillDrumTrack(int track, int state) {
    zumbal::fillDrumTrack(m_g, track, state);
    for (int s = 1; s <= kStrokes; ++s)
        disegna_drum(cellIndex(track, s), kNoOrigin, 0);
}

void Window_t1::transpose(int n) {
    const auto before = cells();
    zumbal::transpose(m_g, n);
    // Every note moved is relabelled, also one that turned into a rest; in
    // FastSwitch mode the cells keep their drawing.
    if (m_g.fastswitch)
        return;
    for (int c = kFirstBassCell; c < kCells; ++c)
        if (before[c] > kBassRest)
            disegna_drum(c, kNoOrigin, 0);
    recordEdit(QStringLiteral("Transpose"));
}

void Window_t1::relabelBassCells() {
    for (int c = kFirstBassCell; c < kCells; ++c)
        if (m_g.pp[c] > kBassRest)
            disegna_drum(c, kNoOrigin, 0);
}

void Window_t1::newLoop() {
    dropWaitingSwitch();
    m_engine.keepLoopOverFill();
    // Declared before the hold, so that it commits once the hold is released.
    const auto record = qScopeGuard([this] { recordEdit(QStringLiteral("New Loop")); });
    const auto hold = m_history.hold();
    m_buttons->showNewLoop();
    CanvasImageW->clear();
    setNewLoop(m_g);
    m_fields->showNewLoop();
    m_engine.players()[kBassTrack].setInstrument(kDefaultSounds[kBassTrack]);
    Slider1->setValue(kStartTempo);
    m_sounds.playIfOn(SoundId::powerdow);
    emit loopShown();
    emit loopReplaced();
}

void Window_t1::setFastSwitch(bool on) {
    // The first preset alone replaces whatever waits for the bar line.
    dropWaitingSwitch();
    m_keyboard->showLetters(on);
    m_g.loopattuale = 2;
    m_fields->setEditable(!on);
    m_client->setFocus();
    m_g.nome_file = fileNameBytes(PopupMenu1->itemText(2));
    loop_aprithr();
}

void Window_t1::creapopupmenu() {
    PopupMenu1->clear();
    PopupMenu1->addItem(QStringLiteral("Loops Presets"));
    PopupMenu1->addItem(QStringLiteral("-"));
    if (auto* rows = qobject_cast<QStandardItemModel*>(PopupMenu1->model()))
        rows->item(1)->setEnabled(false);
    for (const std::string& name : m_library.presets())
        PopupMenu1->addItem(fileNameText(name));
    PopupMenu1->setCurrentIndex(0);
    emit presetsChanged();
}

int Window_t1::presetCount() const {
    return std::max(0, PopupMenu1->count() - 2);
}

QStringList Window_t1::presetRows() const {
    QStringList rows;
    for (int i = 1; i < PopupMenu1->count(); ++i)
        rows << PopupMenu1->itemText(i);
    return rows;
}

void Window_t1::PopupMenu1_Change(int row) {
    if (row > 1) {
        m_g.nome_file = fileNameBytes(PopupMenu1->itemText(row));
        loop_aprithr();
    }
    PopupMenu1->setCurrentIndex(0);
}

void Window_t1::loop_aprithr() {
    // The load runs on this thread once the current event is handled; the
    // caller goes on at once.
    QTimer::singleShot(0, this, [this, name = m_g.nome_file] { loop_apri(name); });
}

void Window_t1::loadPresetRow(int row) {
    m_g.loopattuale = row;
    m_g.nome_file = fileNameBytes(PopupMenu1->itemText(row));
    loop_aprithr();
}

void Window_t1::presetKey(int code) {
    const int last = PopupMenu1->count() - 1;
    const int row = m_g.loopattuale;
    if (code == 28 || code == 31) {
        if (row > 2)
            loadPresetRow(row - 1);
    } else if (code == 29 || code == 30) {
        if (row < last)
            loadPresetRow(row + 1);
    } else if (code >= '0' && code <= '9') {
        choosePreset(code - '0');
    }
}

void Window_t1::choosePreset(int n) {
    const int last = PopupMenu1->count() - 1;
    if (last >= 2)
        loadPresetRow(std::clamp(2 + n, 2, last));
}

void Window_t1::loop_apri(const std::string& name) {
    QString error;
    const std::optional<LoopRecord> loop = m_library.read(name, error);
    if (!loop)
        return;
    if (m_barLine.waits(m_g)) {
        // One that landed since the lamp's last tick is not chosen again.
        collectLandedSwitch();
        m_barLine.queueLoop(*loop, fileNameText(name), !m_g.fastswitch);
        showSwitchState();
        return;
    }
    applyLoop(*loop, fileNameText(name));
}

void Window_t1::applyLoop(const LoopRecord& loop, const QString& name) {
    dropWaitingSwitch();
    m_engine.keepLoopOverFill();
    // In FastSwitch mode only the sound changes: nothing is normalised.
    loadIntoModel(m_g, loop, !m_g.fastswitch);
    showLoop(name);
    recordEdit(QStringLiteral("Load ") + name);
    emit loopReplaced();
}

void Window_t1::showLoop(const QString& name) {
    // In FastSwitch mode buttons, fields and cells keep their drawing.
    const bool draw = !m_g.fastswitch;
    const auto hold = m_history.hold();
    if (draw) {
        m_buttons->showLoop();
        m_fields->showLoop();
    }
    m_engine.players()[kBassTrack].setInstrument(m_g.edfiv[kBassTrack][0]);
    Slider1->setValue(m_g.tempo);
    m_loopName = name;
    StaticText16->setText(name);
    if (draw)
        for (int c = 0; c < kCells; ++c)
            disegna_drum(c, kNoOrigin, 0);
    emit loopShown();
}

void Window_t1::setGroove(int swing, int humanizeMs, int humanizeVelocity) {
    m_g.swing = std::clamp(swing, kStraight, kMaxSwing);
    m_g.humanizeMs = std::clamp(humanizeMs, 0, kMaxHumanizeMs);
    m_g.humanizeVelocity = std::clamp(humanizeVelocity, 0, kMaxHumanizeVelocity);
    recordEdit(QStringLiteral("Groove"), QStringLiteral("groove"));
}

void Window_t1::tapTempo() {
    tapTempo(m_sinceStart.elapsed() / 1000.0);
}

void Window_t1::showSync(const SyncView& view) {
    if (view == m_syncView)
        return;
    m_syncView = view;
    m_syncLabel->setText(view.leader);
    m_syncLabel->setStyleSheet(view.locked
                                   ? QStringLiteral("background: #2E8B3A; border-radius: 4px")
                                   : QStringLiteral("background: #D23F24; border-radius: 4px"));
    m_syncLabel->setVisible(!view.leader.isEmpty());
    Slider1->setEnabled(!view.tempoFixed);
    StaticText13->setText(view.tempo.isEmpty() ? QString::number(Slider1->value()) : view.tempo);
}

void Window_t1::showSongPlace(const QString& text) {
    m_songLabel->setText(text);
    m_songLabel->setVisible(!text.isEmpty());
    m_songLabel->raise();
}

void Window_t1::tapTempo(double seconds) {
    if (m_syncView.tempoFixed)
        return;
    const std::optional<int> tempo = m_tapTempo.tap(seconds);
    // A count's first tap sets no tempo; the tempo its count sets is a step of its own.
    if (!tempo)
        closeEditStep();
    else
        Slider1->setValue(*tempo);
}

bool Window_t1::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == StaticText13 || watched == StaticText14) &&
        event->type() == QEvent::MouseButtonPress)
        tapTempo();
    return QMainWindow::eventFilter(watched, event);
}

bool Window_t1::loop_salva(QString& error) {
    const LoopRecord loop = currentLoop();
    error = m_library.save(m_g.nome_file, loop);
    if (!error.isEmpty())
        return false;
    PopupMenu1->addItem(fileNameText(m_g.nome_file));
    emit presetsChanged();
    return true;
}

void Window_t1::chooseInstrument(int t, int note) {
    // Each pick is a step of its own, also right after typing into the field.
    closeEditStep();
    m_fields->chooseInstrument(t, note);
    closeEditStep();
}

void Window_t1::setTrackVolume(int t, int volume) {
    m_fields->setTrackVolume(t, volume);
}

void Window_t1::setStrokeVolume(int cell, int volume) {
    m_g.volum[cell] = volume;
    recordEdit(QStringLiteral("Velocity %1 Stroke %2")
                   .arg(trackName(cell / kStrokes))
                   .arg(cell % kStrokes + 1),
               QStringLiteral("velocity %1").arg(cell));
}

void Window_t1::setStepVariation(int cell, const StepVariation& v, const QString& setting,
                                 const QString& mergeKey) {
    if (m_g.fastswitch || cell < 0 || cell >= kCells || !isStep(cell, m_g.pp[cell]))
        return;
    const int32_t packed = packVariation(v);
    if (m_g.vary[cell] == packed)
        return;
    m_g.vary[cell] = packed;
    disegna_drum(cell, kNoOrigin, 0);
    recordEdit(QStringLiteral("%1 %2 Stroke %3")
                   .arg(setting, trackName(cell / kStrokes))
                   .arg(cell % kStrokes + 1),
               mergeKey.isEmpty() ? QString() : QStringLiteral("%1 %2").arg(mergeKey).arg(cell));
}

} // namespace zumbal
