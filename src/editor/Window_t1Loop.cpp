#include "editor/Window_t1.h"

#include "loops/LoopModel.h"
#include "playback/BassLine.h"

namespace zumbal {

// The loop as a whole: the switches that wait for the bar line, the loop read
// back for saving and recovery, and the edit history's steps.

void Window_t1::setSwitchAtBarLine(bool on) {
    m_barLine.setOn(on);
    // What waits applies now, as a choice made without the setting does.
    if (!on)
        withdrawSwitch();
}

void Window_t1::showSwitchState() {
    // What is coming stands out, so that it reads from behind a drum kit.
    const std::optional<QString> waiting = m_barLine.waiting();
    StaticText16->setText(waiting.value_or(m_loopName));
    StaticText16->setStyleSheet(
        waiting ? QStringLiteral("background: #FFB000; color: black; font-weight: bold;")
                : QString());
}

void Window_t1::collectLandedSwitch() {
    const std::unique_ptr<PendingSwitch> landed = m_barLine.takeLanded();
    if (!landed)
        return;
    if (landed->loop) {
        showLoop(landed->name);
        recordEdit(QStringLiteral("Load ") + landed->name);
    }
    if (landed->key)
        relabelBassCells();
    showSwitchState();
    emit switchLanded(landed->songEntry);
}

void Window_t1::dropWaitingSwitch() {
    const std::unique_ptr<PendingSwitch> back = m_barLine.withdraw();
    collectLandedSwitch();
    showSwitchState();
    if (back)
        emit switchWithdrawn(back->songEntry);
}

void Window_t1::withdrawSwitch() {
    const std::unique_ptr<PendingSwitch> back = m_barLine.withdraw();
    collectLandedSwitch();
    showSwitchState();
    if (!back)
        return;
    emit switchWithdrawn(back->songEntry);
    // A song's entry waits for its bar line only: it never applies early.
    if (back->songEntry >= 0)
        return;
    // Taken back before its bar line: it applies now, as without the setting.
    if (back->loop)
        applyLoop(*back->loop, back->name);
    if (back->key) {
        const int semitones = fastSwitchTransposition(*back->key, m_g.trans_start);
        if (semitones != 0)
            transpose(semitones);
    }
}

LoopRecord Window_t1::currentLoop() {
    collectLandedSwitch();
    return modelLoop();
}

LoopRecord Window_t1::modelLoop() const {
    // Everything from the model, which a switch landing at the bar line
    // replaces as a whole; the controls follow it only at the lamp's tick.
    LoopRecord loop;
    for (int i = 0; i < kButtons; ++i)
        loop.pb[i] = m_g.pb[i];
    for (int c = 0; c < kCells; ++c) {
        loop.pp[c] = m_g.pp[c];
        loop.volum[c] = m_g.volum[c];
        loop.steps[c] = unpackVariation(m_g.vary[c]);
    }
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {m_g.edfiv[t][0], m_g.edfiv[t][1]};
    loop.tempo = m_g.tempo;
    loop.swing = m_g.swing;
    loop.humanizeMs = m_g.humanizeMs;
    loop.humanizeVelocity = m_g.humanizeVelocity;
    return loop;
}

void Window_t1::recordEdit(const QString& text, const QString& mergeKey) {
    // An edit of a fill goes with it: the history keeps the loop that comes back.
    if (m_g.fastswitch || m_history.held() || m_engine.fillPlaying())
        return;
    // A loop the engine switched to at the bar line since the lamp's last
    // tick is shown and recorded first, so that no step holds half of it.
    collectLandedSwitch();
    m_history.commit(text, mergeKey);
}

void Window_t1::closeEditStep() {
    m_history.closeStep();
}

void Window_t1::undo() {
    if (m_g.fastswitch || !m_history.stack().canUndo())
        return;
    dropWaitingSwitch();
    m_engine.keepLoopOverFill();
    m_history.undo();
    emit loopReplaced();
}

void Window_t1::redo() {
    if (m_g.fastswitch || !m_history.stack().canRedo())
        return;
    dropWaitingSwitch();
    m_engine.keepLoopOverFill();
    m_history.redo();
    emit loopReplaced();
}

LoopSnapshot Window_t1::snapshot() const {
    LoopSnapshot shown{modelLoop(), m_g.trans_start, m_loopName};
    shown.loop.version = kLoopFileVersion;
    shown.loop.layout = LoopLayout::Current;
    // PLAY and the globe light up under the pointer, which edits nothing;
    // a step brings them back unlit.
    for (int i : {kPlayButton, kWebButton})
        shown.loop.pb[i] = kPushButton;
    return shown;
}

void Window_t1::showSnapshot(const LoopSnapshot& shown) {
    loadIntoModel(m_g, shown.loop, false);
    m_g.trans_start = shown.trans_start;
    showLoop(shown.name);
    // A step leaves the bass cell selection as it is: its marker shows
    // where the keyboard's notes go.
    CanvasImageW->markBassCell(m_g.key_tasto_indice);
    showSwitchState();
}

} // namespace zumbal
