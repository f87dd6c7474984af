#pragma once

#include "sync/TimedMidiQueue.h"

namespace zumbal {

// MIDI that arrived on the audio thread, on its way to the GUI thread (the
// audio thread is the producer, and gives no time).
using MidiInputQueue = sync::ShortMidiQueue<4096>;

} // namespace zumbal
