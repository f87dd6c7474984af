#pragma once

#include "model/globali.h"
#include "playback/AudioOutput.h"
#include "playback/EventSoundMixer.h"
#include "playback/MidiInputQueue.h"
#include "playback/PlaybackEngine.h"
#include "playback/RandomSource.h"
#include "playback/Synth.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zumbal {

// The most the program renders at a time where it chooses (offline, skipping).
inline constexpr int kRenderBuffer = 512;

struct SoundOptions {
    std::string soundFont;            // empty: search (see findSoundFont)
    std::vector<std::string> drivers; // empty: AudioOutput::defaultDrivers()
    SynthOptions synth;
    double latencyMs = 0;     // the output's target latency; 0: two periods
    bool connectPorts = true; // JACK: connect to the speakers
    // The sequence of the random hits; empty: a different one every run. A
    // render fixes it so that the same loop always gives the same file.
    std::optional<uint64_t> seed;
};

// Everything that sounds: the synth, the note players and the stroke clock
// over it, the event sounds, and the audio output that drives them all from
// one render callback.
class SoundSystem final : public AudioClient {
public:
    SoundSystem(globali& g, SoundOptions options);
    ~SoundSystem();

    // Loads the SoundFont; safe on another thread while the window is built,
    // as long as it finishes before startAudio(). Says once on stderr when
    // there is no usable SoundFont; the program then runs silently.
    void loadSoundFont();
    // Opens the audio output and says on stderr which one is in use. From
    // here on only the audio thread calls the synth.
    void startAudio();

    PlaybackEngine& engine() { return m_engine; }
    NotePlayers& NotePl() { return m_engine.players(); }
    EventSoundMixer& mixer() { return m_mixer; }
    std::string outputName() const;
    // The output that was lost and is being retried; empty while all is well.
    std::string lostOutput() const;
    AudioStats audioStats() const;
    const Synth& synth() const { return m_synth; }
    const std::string& soundFont() const { return m_soundFontPath; }

    // The render callback, also used offline: renders `frames` of the loop and
    // the event sounds into left and right.
    void render(float* left, float* right, int frames, MidiSink* midi = nullptr) override;
    void skip(int frames) override;
    void midiReceived(const uint8_t* bytes, size_t size) override { m_midiIn.push(bytes, size); }
    // What arrived on the MIDI input; the GUI thread drains it.
    MidiInputQueue& midiInput() { return m_midiIn; }
    void prepare(int64_t missedFrames, int sampleRate) override;

private:
    // Longer gaps (a suspended machine) are jumped over instead of rendered.
    static constexpr int64_t kMaxRenderedSkip = 2 * 192000;

    SoundOptions m_options;
    Synth m_synth;
    FluidNoteOutput m_noteOutput;
    SeededRandom m_random;
    PlaybackEngine m_engine;
    EventSoundMixer m_mixer;
    MidiInputQueue m_midiIn;
    std::string m_soundFontPath;
    std::array<float, kRenderBuffer> m_scratchLeft{}, m_scratchRight{};
    std::unique_ptr<AudioOutput> m_output;
};

} // namespace zumbal
