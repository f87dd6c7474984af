#pragma once

#include "loops/LoopFile.h"

#include <QScopedValueRollback>
#include <QString>
#include <QUndoStack>

#include <functional>

namespace zumbal {

// The loop as the editor shows it: what a step of the edit history brings back.
struct LoopSnapshot {
    LoopRecord loop;
    int trans_start = 0;
    QString name; // the loop's name line

    friend bool operator==(const LoopSnapshot&, const LoopSnapshot&) = default;
};

// Undo and redo of the loop's edits. Once an edit is in the model it is
// committed under the name the Edit menu shows for it; a commit that changed
// the loop pushes one step holding the loop before and after it. Commits
// that follow each other under the same merge key (a slider dragged, a field
// typed into) make one step, until closeStep() or a commit under another key.
class EditHistory {
public:
    using Capture = std::function<LoopSnapshot()>;
    using Restore = std::function<void(const LoopSnapshot&)>;

    // `capture` reads the loop as shown; `restore` shows a snapshot again,
    // model and window alike.
    EditHistory(Capture capture, Restore restore);
    ~EditHistory();
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    const QUndoStack& stack() const { return m_stack; }
    void undo() { m_stack.undo(); }
    void redo() { m_stack.redo(); }

    // Forgets every step; the loop as shown now is where the next one starts.
    void start();
    void commit(const QString& text, const QString& mergeKey = {});
    // The next commit starts a step of its own.
    void closeStep();
    // Commits are ignored while the returned guard lives: for an edit that
    // sets controls which commit on their own (a loaded loop fills the
    // fields and moves the tempo slider), and while a step is brought back.
    [[nodiscard]] QScopedValueRollback<bool> hold() { return QScopedValueRollback(m_held, true); }
    bool held() const { return m_held; }

private:
    class Step;
    void restore(const LoopSnapshot& snapshot);

    Capture m_capture;
    Restore m_restore;
    QUndoStack m_stack;
    LoopSnapshot m_last; // the loop as the last commit, undo or redo left it
    QString m_openKey;   // the merge key of the commits the top step takes in
    int m_openId = -1;   // the top step's merge id for m_openKey; -1: none
    int m_nextId = 0;
    bool m_held = false;
};

} // namespace zumbal
