#pragma once

#include "playback/NoteOutput.h"

#include <fluidsynth.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace zumbal {

struct SynthOptions {
    int sampleRate = 44100;
    // Frames per audio period; 512 keeps the stream free of dropouts here at
    // 11.6 ms of latency.
    int periodSize = 512;
    int periods = 2;
};

struct SettingsDeleter {
    void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};
struct SynthDeleter {
    void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
};
using SettingsPtr = std::unique_ptr<fluid_settings_t, SettingsDeleter>;
using SynthPtr = std::unique_ptr<fluid_synth_t, SynthDeleter>;

// The one FluidSynth instance, and the one way into it.
//
// The rule that keeps the sound from breaking: while audio runs, only the
// audio thread calls into the synth. The GUI's requests (programs, the stop's
// note-off) reach the audio thread through atomics and queues and are applied
// there at a block start. FluidSynth's API lock is off, so a call from any
// other thread would race the render instead of merely stalling it. The
// SoundFont is loaded, and the rate changed, only while no audio runs: both
// hold the synth for a long time.
//
// Every call checks the rule: the first render after release() binds the
// synth to its thread, and a later call from another thread is counted.
class Synth {
public:
    explicit Synth(const SynthOptions& options = {});

    // Returns false, with a one-line reason, when the file is not a usable SoundFont.
    bool loadSoundFont(const std::string& path, std::string& error);
    bool hasSoundFont() const { return m_soundFontLoaded; }
    // Changes the rate of a synth that no audio thread is rendering.
    void setSampleRate(int rate);
    int sampleRate() const { return m_rate; }
    // Ends every voice at once, on a synth that no audio thread is rendering.
    void silence();

    void render(float* left, float* right, int frames);
    void noteOn(int channel, int note, int velocity);
    void noteOff(int channel, int note);
    void selectProgram(int channel, int bank, int program);
    void setDrumChannel(int channel, bool drum);

    // No audio thread renders until the next render binds one.
    void release() { m_owner.store(std::thread::id{}, std::memory_order_release); }
    // Calls made from a thread other than the bound one.
    uint64_t foreignCalls() const { return m_foreignCalls.load(std::memory_order_relaxed); }
    // Calls of render(); FluidSynth allocates once in each (see render()).
    uint64_t renderCalls() const { return m_renderCalls.load(std::memory_order_relaxed); }

    fluid_settings_t* settings() const { return m_settings.get(); }
    const SynthOptions& options() const { return m_options; }

private:
    void checkCaller(bool binds = false);

    SynthOptions m_options;
    SettingsPtr m_settings;
    SynthPtr m_synth;
    int m_rate;
    bool m_soundFontLoaded = false;
    std::atomic<std::thread::id> m_owner{};
    std::atomic<uint64_t> m_foreignCalls{0};
    std::atomic<uint64_t> m_renderCalls{0};
};

// Every setting the program gives FluidSynth passes through here.
void applySettings(fluid_settings_t* settings, const SynthOptions& options);

// FluidSynth writes its own log to stderr; the program says what matters itself.
void silenceSynthLog();

// The note players' voices on the synth: each drum track on a drum channel of
// its own, so that a note-off of one track never cuts another, and the bass
// on a melodic channel. Instrument changes requested from the GUI thread are
// applied by the audio thread before its next note.
class FluidNoteOutput final : public NoteOutput {
public:
    static constexpr std::array<int, 7> kChannels{9, 10, 11, 12, 13, 14, 0};

    explicit FluidNoteOutput(Synth& synth);

    // Sets up the channels; call after the SoundFont is loaded, before the audio starts.
    void setupChannels();

    void playNote(int track, int note, int velocity) override;
    void setInstrument(int track, int instrument) override;

private:
    void applyProgram(int track);

    Synth& m_synth;
    std::array<std::atomic<int>, 7> m_wanted{};
    std::array<int, 7> m_applied{};
};

} // namespace zumbal
