#pragma once

#include "assets/Resources.h"
#include "model/globali.h"
#include "playback/EventSoundMixer.h"

namespace zumbal {

// Plays the application's event sounds. Most events sound only while the
// preference is on; the button click and a few others always do.
class EventSounds {
public:
    EventSounds(const globali& g, EventSoundMixer* mixer) : m_g(g), m_mixer(mixer) {}
    virtual ~EventSounds() = default;

    virtual void play(SoundId id) {
        if (m_mixer)
            m_mixer->play(sound(id));
    }
    void playIfOn(SoundId id) {
        if (eventSoundsOn(m_g))
            play(id);
    }

private:
    const globali& m_g;
    EventSoundMixer* m_mixer;
};

} // namespace zumbal
