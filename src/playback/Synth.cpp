#include "playback/Synth.h"

#include <filesystem>

namespace zumbal {

namespace {
constexpr int kDrumKit = 16385; // the note players' number for the GM percussion kit
constexpr int kDrumBank = 128;
constexpr int kBassProgram = 33;
} // namespace

void applySettings(fluid_settings_t* settings, const SynthOptions& options) {
    fluid_settings_setnum(settings, "synth.sample-rate", options.sampleRate);
    fluid_settings_setint(settings, "audio.period-size", options.periodSize);
    fluid_settings_setint(settings, "audio.periods", options.periods);
    fluid_settings_setint(settings, "synth.midi-channels", 16);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    // FluidSynth's default gain of 0.2 leaves a General MIDI kit some 20 dB
    // below full scale; 0.5 gives a full sound that still has headroom when
    // every track strikes at once.
    fluid_settings_setnum(settings, "synth.gain", 0.5);
    // Only one thread plays notes once the audio runs, so the API needs no lock.
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    fluid_settings_setstr(settings, "audio.pulseaudio.media-role", "music");
}

void silenceSynthLog() {
    // A null function would be replaced by FluidSynth's default on first use.
    static constexpr fluid_log_function_t quiet = [](int, const char*, void*) {};
    for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, quiet, nullptr);
}

Synth::Synth(const SynthOptions& options) : m_options(options), m_settings(new_fluid_settings()) {
    silenceSynthLog();
    applySettings(m_settings.get(), options);
    m_synth.reset(new_fluid_synth(m_settings.get()));
}

bool Synth::loadSoundFont(const std::string& path, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "no such file: " + path;
        return false;
    }
    if (!fluid_is_soundfont(path.c_str())) {
        error = "not a SoundFont: " + path;
        return false;
    }
    if (fluid_synth_sfload(m_synth.get(), path.c_str(), 1) == FLUID_FAILED) {
        error = "cannot load SoundFont: " + path;
        return false;
    }
    m_soundFontLoaded = true;
    return true;
}

void Synth::render(float* left, float* right, int frames) {
    fluid_synth_write_float(m_synth.get(), frames, left, 0, 1, right, 0, 1);
}

FluidNoteOutput::FluidNoteOutput(Synth& synth) : m_synth(synth) {
    for (int t = 0; t < 6; ++t)
        m_wanted[t] = kDrumKit;
    m_wanted[6] = kBassProgram;
    m_applied.fill(-1);
}

void FluidNoteOutput::setupChannels() {
    fluid_synth_t* s = m_synth.get();
    for (int t = 0; t < 6; ++t)
        fluid_synth_set_channel_type(s, kChannels[t], CHANNEL_TYPE_DRUM);
    fluid_synth_set_channel_type(s, kChannels[6], CHANNEL_TYPE_MELODIC);
    for (int t = 0; t < 7; ++t)
        applyProgram(t);
}

void FluidNoteOutput::applyProgram(int track) {
    const int wanted = m_wanted[track].load(std::memory_order_relaxed);
    if (wanted == m_applied[track])
        return;
    m_applied[track] = wanted;
    fluid_synth_t* s = m_synth.get();
    const int ch = kChannels[track];
    if (wanted == kDrumKit) {
        fluid_synth_bank_select(s, ch, kDrumBank);
        fluid_synth_program_change(s, ch, 0);
    } else {
        // Programs are counted from 1; a cleared field (0) plays program 1.
        fluid_synth_bank_select(s, ch, 0);
        fluid_synth_program_change(s, ch, clampMidi(wanted - 1));
    }
}

void FluidNoteOutput::playNote(int track, int note, int velocity) {
    const int ch = kChannels[track];
    if (velocity == 0) {
        fluid_synth_noteoff(m_synth.get(), ch, note);
        return;
    }
    applyProgram(track);
    fluid_synth_noteon(m_synth.get(), ch, note, velocity);
}

void FluidNoteOutput::setInstrument(int track, int instrument) {
    m_wanted[track].store(instrument, std::memory_order_relaxed);
}

} // namespace zumbal
