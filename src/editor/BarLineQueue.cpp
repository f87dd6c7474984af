#include "editor/BarLineQueue.h"

#include <thread>

namespace zumbal {

BarLineQueue::~BarLineQueue() {
    delete m_engine.withdrawBarLineChange();
    delete m_engine.takeLanded();
}

void BarLineQueue::queueLoop(const LoopRecord& loop, const QString& name, bool normalise) {
    m_draft.loop = loop;
    m_draft.name = name;
    m_draft.normalise = normalise;
    m_draft.songEntry = -1;
    m_draft.passes = 0;
    m_draft.waitsForPasses = false;
    queue();
}

void BarLineQueue::queueEntry(PendingSwitch entry) {
    m_draft = std::move(entry);
    queue();
}

void BarLineQueue::queueKey(char32_t key) {
    m_draft.key = key;
    queue();
}

void BarLineQueue::queue() {
    auto* next = new PendingSwitch(m_draft);
    m_waitingSwitch = next;
    // A change handed back never applied.
    delete m_engine.queueAtBarLine(next);
}

std::unique_ptr<PendingSwitch> BarLineQueue::takeLanded() {
    std::unique_ptr<PendingSwitch> landed = std::move(m_landed);
    if (!landed)
        landed.reset(static_cast<PendingSwitch*>(m_engine.takeLanded()));
    if (landed && landed.get() == m_waitingSwitch) {
        m_waitingSwitch = nullptr;
        m_draft = PendingSwitch();
    }
    return landed;
}

std::unique_ptr<PendingSwitch> BarLineQueue::withdraw() {
    std::unique_ptr<PendingSwitch> back(
        static_cast<PendingSwitch*>(m_engine.withdrawBarLineChange()));
    // Neither waiting nor collected: the audio thread is applying it right
    // now, and whatever the caller sets next must come after it.
    while (!back && m_waitingSwitch && !m_landed) {
        m_landed.reset(static_cast<PendingSwitch*>(m_engine.takeLanded()));
        if (!m_landed)
            std::this_thread::yield();
    }
    m_waitingSwitch = nullptr;
    m_draft = PendingSwitch();
    return back;
}

std::optional<QString> BarLineQueue::waiting() const {
    if (!m_waitingSwitch)
        return std::nullopt;
    return m_draft.describe();
}

} // namespace zumbal
