#pragma once

#include "editor/PendingSwitch.h"
#include "playback/PlaybackEngine.h"

#include <memory>
#include <optional>

namespace zumbal {

// "Switch at the bar line": what the musician chose while the loop plays,
// handed to the engine to take effect at the next stroke 1. Collects every
// choice made before that stroke into one pending switch.
class BarLineQueue {
public:
    explicit BarLineQueue(PlaybackEngine& engine) : m_engine(engine) {}
    ~BarLineQueue();
    BarLineQueue(const BarLineQueue&) = delete;
    BarLineQueue& operator=(const BarLineQueue&) = delete;

    void setOn(bool on) { m_on = on; }
    // Whether a choice made now waits for the bar line.
    bool waits(const globali& g) const { return m_on && g.battito > 0; }

    // A preset chosen by hand replaces a song's entry waiting: the musician takes over.
    void queueLoop(const LoopRecord& loop, const QString& name, bool normalise);
    void queueKey(char32_t key);
    // A song's entry, whole, in place of whatever waits.
    void queueEntry(PendingSwitch entry);
    // The switch the engine applied at a stroke 1 since the last call, if any.
    std::unique_ptr<PendingSwitch> takeLanded();
    // Takes back the switch still waiting; it never applied. When the engine
    // has just taken it at a bar line, returns nothing once the engine has
    // applied it, and the next takeLanded() hands it over: call it at once.
    std::unique_ptr<PendingSwitch> withdraw();
    // What is coming, such as "Next: Funk, key E", while something waits.
    std::optional<QString> waiting() const;

private:
    void queue();

    PlaybackEngine& m_engine;
    bool m_on = false;
    PendingSwitch m_draft;                    // everything chosen for the next stroke 1
    PendingSwitch* m_waitingSwitch = nullptr; // its latest copy, held by the engine
    std::unique_ptr<PendingSwitch> m_landed;  // taken from the engine by withdraw()
};

} // namespace zumbal
