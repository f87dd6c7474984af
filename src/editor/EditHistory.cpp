#include "editor/EditHistory.h"

#include <utility>

namespace zumbal {

class EditHistory::Step final : public QUndoCommand {
public:
    Step(EditHistory& history, int id, LoopSnapshot before, LoopSnapshot after, const QString& text)
        : QUndoCommand(text), m_history(history), m_id(id), m_before(std::move(before)),
          m_after(std::move(after)) {}

    int id() const override { return m_id; }

    bool mergeWith(const QUndoCommand* other) override {
        m_after = static_cast<const Step*>(other)->m_after;
        // A slider dragged back to where it started leaves no step.
        setObsolete(m_after == m_before);
        return true;
    }

    void undo() override { m_history.restore(m_before); }

    void redo() override {
        // The edit is made before its step is pushed: only a redo after an undo restores.
        if (std::exchange(m_pushing, false))
            return;
        m_history.restore(m_after);
    }

private:
    EditHistory& m_history;
    int m_id = -1;
    LoopSnapshot m_before;
    LoopSnapshot m_after;
    bool m_pushing = true;
};

EditHistory::EditHistory(Capture capture, Restore restore)
    : m_capture(std::move(capture)), m_restore(std::move(restore)) {}

EditHistory::~EditHistory() {
    // The stack empties itself as it goes, signalling a window that is going too.
    m_stack.disconnect();
}

void EditHistory::start() {
    m_stack.clear();
    m_last = m_capture();
    closeStep();
}

void EditHistory::commit(const QString& text, const QString& mergeKey) {
    if (m_held)
        return;
    if (mergeKey.isEmpty() || mergeKey != m_openKey) {
        m_openKey = mergeKey;
        m_openId = mergeKey.isEmpty() ? -1 : m_nextId++;
    }
    LoopSnapshot now = m_capture();
    if (now == m_last)
        return;
    LoopSnapshot before = std::exchange(m_last, now);
    // The stack merges a step into the top one of the same id.
    m_stack.push(new Step(*this, m_openId, std::move(before), std::move(now), text));
}

void EditHistory::closeStep() {
    m_openKey.clear();
    m_openId = -1;
}

void EditHistory::restore(const LoopSnapshot& snapshot) {
    const auto hold = this->hold();
    m_restore(snapshot);
    m_last = m_capture();
    closeStep();
}

} // namespace zumbal
