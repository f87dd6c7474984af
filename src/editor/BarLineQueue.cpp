#include "editor/BarLineQueue.h"

namespace zumbal {

BarLineQueue::~BarLineQueue() {
    delete m_engine.withdrawBarLineChange();
    delete m_engine.takeLanded();
}

void BarLineQueue::queueLoop(const LoopRecord& loop, const QString& name, bool normalise) {
    m_draft.loop = loop;
    m_draft.name = name;
    m_draft.normalise = normalise;
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
    std::unique_ptr<PendingSwitch> landed(static_cast<PendingSwitch*>(m_engine.takeLanded()));
    if (landed && landed.get() == m_waitingSwitch) {
        m_waitingSwitch = nullptr;
        m_draft = PendingSwitch();
    }
    return landed;
}

std::unique_ptr<PendingSwitch> BarLineQueue::withdraw() {
    std::unique_ptr<PendingSwitch> back(
        static_cast<PendingSwitch*>(m_engine.withdrawBarLineChange()));
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
