#pragma once

#include "sync/SourceBeat.h"

#include <QString>

namespace zumbal {

// What the window shows of the following: who leads and whether Zumbal is
// locked, beside the tempo, which is the master's while following.
struct SyncView {
    QString leader;          // empty on Zumbal's own clock, unless it is to lead
    QString tempo;           // the master's tempo with its fraction; empty: the slider's
    bool locked = false;     // following; otherwise the leader text is a warning
    bool tempoFixed = false; // the slider and tap tempo give way to the master
    bool operator==(const SyncView&) const = default;
};

// Whether Zumbal on its own clock leads the JACK transport as asked.
enum class Lead { No, Leading, Refused };

// The view of `source` as `status` reports it (nullptr: Zumbal's own clock),
// and on its own clock, of its lead.
SyncView syncView(sync::Source source, const sync::SyncStatus* status, Lead lead = Lead::No);

} // namespace zumbal
