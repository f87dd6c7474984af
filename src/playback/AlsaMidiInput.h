#pragma once

#include "playback/MidiInputQueue.h"
#include "sync/TimedMidiQueue.h"

#include <memory>
#include <string>

namespace zumbal {

// An ALSA sequencer input port "Zumbal:midi_in", for desktops whose sound
// does not run on JACK: a USB foot controller plugged in under PulseAudio
// connects here (aconnect, or any patchbay). A thread of its own waits for
// events and passes them on as MIDI bytes through the queue.
class AlsaMidiInput {
public:
    // nullptr, with a one-line reason in `error`, where there is no sequencer.
    // Each message also goes to `timed`, when given, with the time it came.
    static std::unique_ptr<AlsaMidiInput> open(std::string& error,
                                               sync::TimedMidiQueue* timed = nullptr);
    virtual ~AlsaMidiInput() = default;

    MidiInputQueue& queue() { return m_queue; }

protected:
    MidiInputQueue m_queue;
};

} // namespace zumbal
