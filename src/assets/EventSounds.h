#pragma once

#include "assets/Resources.h"
#include "model/globali.h"

#include <functional>
#include <utility>

namespace zumbal {

// Plays the application's event sounds. Most events sound only while the
// preference is on; the button click and a few others always do.
class EventSounds {
public:
    // Where a sound goes: the program hands it to the audio output's mixer.
    using Output = std::function<void(const PcmClip&)>;

    EventSounds(const globali& g, Output output) : m_g(g), m_output(std::move(output)) {}
    virtual ~EventSounds() = default;

    virtual void play(SoundId id) {
        if (m_output)
            m_output(sound(id));
    }
    void playIfOn(SoundId id) {
        if (eventSoundsOn(m_g))
            play(id);
    }

private:
    const globali& m_g;
    Output m_output;
};

} // namespace zumbal
