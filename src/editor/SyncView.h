#pragma once

#include "sync/SourceBeat.h"

#include <QString>

namespace zumbal {

// What the window shows of the following: who leads and whether Zumbal is
// locked, beside the tempo, which is the master's while following.
struct SyncView {
    QString leader;          // empty on Zumbal's own clock
    QString tempo;           // the master's tempo with its fraction; empty: the slider's
    bool locked = false;     // following; otherwise the leader text is a warning
    bool tempoFixed = false; // the slider and tap tempo give way to the master
    bool operator==(const SyncView&) const = default;
};

// The view of `source` as `status` reports it (nullptr: Zumbal's own clock).
SyncView syncView(sync::Source source, const sync::SyncStatus* status);

} // namespace zumbal
