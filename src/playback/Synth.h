#pragma once

#include "playback/NoteOutput.h"

#include <fluidsynth.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>

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

// The one FluidSynth instance. Load the SoundFont before the audio starts:
// the load holds the synth for its whole length. After that only the audio
// thread calls into it.
class Synth {
public:
    explicit Synth(const SynthOptions& options = {});

    // Returns false, with a one-line reason, when the file is not a usable SoundFont.
    bool loadSoundFont(const std::string& path, std::string& error);
    bool hasSoundFont() const { return m_soundFontLoaded; }

    void render(float* left, float* right, int frames);

    fluid_synth_t* get() const { return m_synth.get(); }
    fluid_settings_t* settings() const { return m_settings.get(); }
    const SynthOptions& options() const { return m_options; }

private:
    SynthOptions m_options;
    SettingsPtr m_settings;
    SynthPtr m_synth;
    bool m_soundFontLoaded = false;
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

    // Sets up the channels; call after the SoundFont is loaded.
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
