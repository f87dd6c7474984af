#pragma once

#include "loops/LoopFile.h"

#include <QString>

#include <optional>
#include <string>

namespace zumbal {

// The recovery file: the loop being edited, kept as an ordinary loop file so
// that a quit with unsaved edits or a crash does not lose it. Nothing is
// written while the loop is the one the program started with, so that a
// start and a quit without an edit leave the previous session's file as it
// was until it is recovered.
class LoopRecovery {
public:
    explicit LoopRecovery(QString path) : m_path(std::move(path)) {}

    // The file in the user's data folder.
    static QString defaultPath();

    // The loop as it stands once the program has started.
    void setBaseline(const LoopRecord& loop);
    // Writes `loop` when it differs from what was last written, or while
    // nothing was, from the baseline. Returns the system's reason of a failed
    // write, or an empty string; a failed write is tried again at the next call.
    QString update(const LoopRecord& loop);

    bool exists() const;
    // The loop in the file; nothing, with the reason in `error`, when the file
    // cannot be read or holds no loop.
    std::optional<LoopRecord> read(QString& error) const;

    const QString& path() const { return m_path; }

private:
    std::string bytesOf(LoopRecord loop) const;

    QString m_path;
    std::string m_written; // the baseline's bytes until the first write
};

} // namespace zumbal
