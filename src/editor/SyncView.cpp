#include "editor/SyncView.h"

namespace zumbal {

SyncView syncView(sync::Source source, const sync::SyncStatus* status, Lead lead) {
    if (!status || source == sync::Source::Internal) {
        switch (lead) {
        case Lead::Leading:
            return {QStringLiteral("leading JACK"), {}, true, false};
        case Lead::Refused:
            return {QStringLiteral("not leading JACK"), {}, false, false};
        case Lead::No:
            break;
        }
        return {};
    }
    using sync::SyncState;
    SyncView view;
    view.locked = status->state() == SyncState::Locked;
    view.tempoFixed = source != sync::Source::Link;
    if (view.locked && status->quartersPerMinute() > 0)
        view.tempo = QString::number(status->quartersPerMinute(), 'f', 1);
    switch (source) {
    case sync::Source::JackTransport:
        view.leader = status->state() == SyncState::Lost      ? QStringLiteral("JACK master lost")
                      : status->state() == SyncState::Waiting ? QStringLiteral("waiting for JACK")
                                                              : QStringLiteral("JACK transport");
        break;
    case sync::Source::MidiClock:
        switch (status->state()) {
        case SyncState::Locked:
            view.leader = QStringLiteral("MIDI clock");
            break;
        case SyncState::Lost:
            view.leader = QStringLiteral("clock lost");
            break;
        case SyncState::OutOfRange:
            view.leader = QStringLiteral("clock out of range");
            break;
        default:
            view.leader = QStringLiteral("waiting for clock");
        }
        break;
    case sync::Source::Link:
        view.leader = QStringLiteral("Link: %1 peer%2")
                          .arg(status->peers())
                          .arg(status->peers() == 1 ? "" : "s");
        view.locked = true;
        break;
    case sync::Source::Internal:
        break;
    }
    return view;
}

} // namespace zumbal
