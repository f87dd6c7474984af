// The main window's loop files and presets list.

#include "editor/Window_t1.h"
#include "loops/FileNames.h"
#include "loops/LoopFile.h"
#include "loops/LoopModel.h"
#include "loops/PresetList.h"
#include "loops/ReplaceFile.h"
#include "model/NumberText.h"
#include "playback/BassLine.h"

#include <QDir>
#include <QStandardItemModel>
#include <QTimer>

#include <algorithm>

namespace zumbal {

namespace {

QString loopPath(const globali& g, const QString& name) {
    return QDir(QString::fromStdString(g.drumloopsfolder.string())).filePath(name);
}
} // namespace

void Window_t1::creapopupmenu() {
    PopupMenu1->clear();
    PopupMenu1->addItem(QStringLiteral("Loops Presets"));
    PopupMenu1->addItem(QStringLiteral("-"));
    if (auto* rows = qobject_cast<QStandardItemModel*>(PopupMenu1->model()))
        rows->item(1)->setEnabled(false);
    if (!m_g.drumloopsfolder.empty()) {
        for (const std::string& name : listLoopFiles(m_g.drumloopsfolder))
            PopupMenu1->addItem(fileNameText(name));
    }
    PopupMenu1->setCurrentIndex(0);
    emit presetsChanged();
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
    const auto text = readLoopBytes(m_g.drumloopsfolder / name, error);
    if (!text)
        return;
    if (waitsForBarLine()) {
        m_draft.loop = parseLoop(*text);
        m_draft.name = fileNameText(name);
        m_draft.normalise = !m_g.fastswitch;
        queueSwitch();
        return;
    }
    applyLoop(parseLoop(*text), fileNameText(name));
}

void Window_t1::applyLoop(const LoopRecord& loop, const QString& name) {
    // In FastSwitch mode only the sound changes: nothing is normalised.
    loadIntoModel(m_g, loop, !m_g.fastswitch);
    showLoop(name);
}

void Window_t1::showLoop(const QString& name) {
    // In FastSwitch mode buttons, fields and cells keep their drawing.
    const bool draw = !m_g.fastswitch;
    autoaggiorna = true;
    if (draw) {
        for (int i = 0; i < kButtons; ++i) {
            buttons().can_bot[i][2] = QString::number(m_g.pb[i]);
            aggiorna_bottone(i);
        }
        // A field holds three digits: a number from the file is clamped
        // first, or the field would cut 1000 to 100 and -5 to 5, and the
        // loop would play otherwise than it exports.
        for (int t = 0; t < kTracks; ++t) {
            EditFI[t]->setText(QString::number(clampMidi(m_g.edfiv[t][0])));
            EditFV[t]->setText(QString::number(clampMidi(m_g.edfiv[t][1])));
        }
    }
    m_engine.players()[kBassTrack].setInstrument(m_g.edfiv[kBassTrack][0]);
    Slider1->setValue(m_g.tempo);
    m_loopName = name;
    StaticText16->setText(name);
    if (draw) {
        for (int c = 0; c < kCells; ++c) {
            if (c >= kFirstBassCell && m_g.pp[c] > kBassRest)
                labelBassCell(c);
            else
                disegna_drum(c, kNoOrigin, 0);
        }
    }
    autoaggiorna = false;
}

void Window_t1::setSwitchAtBarLine(bool on) {
    m_switchAtBarLine = on;
}

bool Window_t1::waitsForBarLine() const {
    return m_switchAtBarLine && m_g.battito > 0;
}

void Window_t1::queueSwitch() {
    auto* next = new PendingSwitch(m_draft);
    m_waitingSwitch = next;
    // A change handed back never applied.
    delete m_engine.queueAtBarLine(next);
    showSwitchState();
}

void Window_t1::showSwitchState() {
    // What is coming stands out, so that it reads from behind a drum kit.
    const bool waiting = m_waitingSwitch != nullptr;
    StaticText16->setText(waiting ? m_draft.describe() : m_loopName);
    StaticText16->setStyleSheet(
        waiting ? QStringLiteral("background: #FFB000; color: black; font-weight: bold;")
                : QString());
}

void Window_t1::collectLandedSwitch() {
    std::unique_ptr<PendingSwitch> landed(static_cast<PendingSwitch*>(m_engine.takeLanded()));
    if (!landed)
        return;
    if (landed.get() == m_waitingSwitch) {
        m_waitingSwitch = nullptr;
        m_draft = PendingSwitch();
    }
    if (landed->loop)
        showLoop(landed->name);
    if (landed->key)
        relabelBassCells();
    showSwitchState();
}

void Window_t1::withdrawSwitch() {
    std::unique_ptr<PendingSwitch> back(
        static_cast<PendingSwitch*>(m_engine.withdrawBarLineChange()));
    m_waitingSwitch = nullptr;
    m_draft = PendingSwitch();
    showSwitchState();
    if (!back)
        return;
    // Stopped before its bar line: it applies now, as without the setting.
    if (back->loop)
        applyLoop(*back->loop, back->name);
    if (back->key) {
        const int semitones = fastSwitchTransposition(*back->key, m_g.trans_start);
        if (semitones != 0)
            transpose(semitones);
    }
}

LoopRecord Window_t1::currentLoop() const {
    LoopRecord loop;
    for (int i = 0; i < kButtons; ++i)
        loop.pb[i] = leadingNumber(m_bar->can_bot[i][2].toStdString());
    for (int c = 0; c < kCells; ++c) {
        loop.pp[c] = m_g.pp[c];
        loop.volum[c] = m_g.volum[c];
    }
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {m_g.edfiv[t][0], m_g.edfiv[t][1]};
    loop.tempo = Slider1->value();
    return loop;
}

bool Window_t1::loop_salva(QString& error) {
    const QString name = fileNameText(m_g.nome_file);
    const std::string text = writeLoop(m_g.nome_file, currentLoop());
    error = createFile(loopPath(m_g, name), QByteArray::fromStdString(text));
    if (!error.isEmpty())
        return false;
    PopupMenu1->addItem(name);
    emit presetsChanged();
    return true;
}

} // namespace zumbal
