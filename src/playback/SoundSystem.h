#pragma once

#include "model/globali.h"
#include "playback/AudioOutput.h"
#include "playback/EventSoundMixer.h"
#include "playback/MidiInputQueue.h"
#include "playback/PlaybackEngine.h"
#include "playback/RandomSource.h"
#include "playback/Synth.h"
#include "sync/JackTransportFollower.h"
#include "sync/JackTransportLeader.h"
#include "sync/LinkSession.h"
#include "sync/MidiClockFollower.h"
#include "sync/SourceBeat.h"
#include "sync/TimedMidiQueue.h"

#include <array>
#include <atomic>
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
    // Once the audio runs: the master the strokes follow. JACK transport
    // needs the JACK output; without it the strokes keep Zumbal's own clock
    // and false is returned.
    // Zumbal's `tempo` under `ternary` founds a Link session of its own.
    bool follow(sync::Source source, int tempo = kStartTempo, bool ternary = false);
    sync::Source following() const { return m_following; }
    // Once the audio runs: Zumbal leads the JACK transport from its own
    // clock (on), as the conditional timebase master, or gives the lead
    // back. False when it cannot lead: another timebase master leads, or the
    // sound is not on JACK. A JACK output that opens again takes the lead again.
    bool lead(bool on);
    // Zumbal is the JACK transport's timebase master.
    bool leading() const { return m_jackLeader.leading(); }
    // How the following goes; nullptr on Zumbal's own clock.
    const sync::SyncStatus* syncStatus() const;
    // GUI side, a few times a second and at a change of the settings: what
    // the Link session takes from Zumbal. A tempo (slider, tap tempo, a
    // loaded loop) that differs from the last one given becomes the
    // session's; the bar is the quantum.
    void pollSync(int tempo, bool threeFour, bool ternary, bool linkStartStop);
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
    // What arrives goes to the GUI's MIDI control and, with its frame, to
    // the MIDI clock follower.
    void midiReceived(const uint8_t* bytes, size_t size, int offset) override {
        m_midiIn.push(bytes, size);
        m_midiClock.received(bytes, size, m_engine.now() + offset);
    }
    void heardAt(int64_t monotonicNs) override {
        m_heardNs = monotonicNs;
        if (m_linkSource)
            m_linkSource->heardAt(monotonicNs);
    }
    // An input off the audio thread (the ALSA sequencer) pushes its
    // messages here, stamped with the time they came; once the GUI says it
    // is in use, MIDI clock can be followed on any output.
    sync::TimedMidiQueue& timedMidiInput() { return m_timedMidi; }
    void useTimedMidiInput() { m_timedMidiInput.store(true, std::memory_order_relaxed); }
    // What arrived on the MIDI input; the GUI thread drains it.
    MidiInputQueue& midiInput() { return m_midiIn; }
    void prepare(int64_t missedFrames, int sampleRate) override;

private:
    // The synth's notes, with the note-ons held back while the clock moves
    // over a gap that nobody hears: what was due in it is not played late.
    class GatedNoteOutput final : public NoteOutput {
    public:
        explicit GatedNoteOutput(NoteOutput& out) : m_out(out) {}
        void playNote(int track, int note, int velocity) override {
            if (velocity == 0 || m_open.load(std::memory_order_relaxed))
                m_out.playNote(track, note, velocity);
        }
        void setInstrument(int track, int instrument) override {
            m_out.setInstrument(track, instrument);
        }
        void setOpen(bool open) { m_open.store(open, std::memory_order_relaxed); }

    private:
        NoteOutput& m_out;
        std::atomic<bool> m_open{true};
    };

    // Audio side: the timed input's messages to the clock follower, on the
    // frames heard when they came.
    void takeTimedMidi();
    // Moves the clock on by `frames` that were not heard, without rendering them.
    void moveClock(int64_t frames);

    // Gaps up to this long keep the strokes on their grid; longer ones (a
    // suspended machine) are jumped over, and the stroke clock starts again
    // where it plays.
    static constexpr int kMaxFollowedSeconds = 2;

    SoundOptions m_options;
    Synth m_synth;
    FluidNoteOutput m_noteOutput;
    GatedNoteOutput m_gate;
    SeededRandom m_random;
    PlaybackEngine m_engine;
    EventSoundMixer m_mixer;
    MidiInputQueue m_midiIn;
    std::string m_soundFontPath;
    std::array<float, kRenderBuffer> m_scratchLeft{}, m_scratchRight{};
    sync::JackTransportFollower m_jackTransport;
    sync::JackTransportLeader m_jackLeader;
    sync::MidiClockSource m_midiClock;
    sync::TimedMidiQueue m_timedMidi;
    std::atomic<bool> m_timedMidiInput{false};
    // Made when Link is first followed; the audio thread sees the source
    // only once it is whole.
    std::unique_ptr<sync::LinkSession> m_link;
    std::unique_ptr<sync::LinkSource> m_linkSource;
    int m_linkTempo = 0; // the last of Zumbal's tempos given to the session
    sync::Source m_following = sync::Source::Internal;
    // When the buffer about to be rendered is heard (CLOCK_MONOTONIC; 0:
    // the output cannot tell); audio thread only.
    int64_t m_heardNs = 0;
    // Declared last: the output's callbacks use everything above.
    std::unique_ptr<AudioOutput> m_output;
};

} // namespace zumbal
