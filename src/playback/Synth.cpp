#include "playback/Synth.h"

#include <algorithm>
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
    fluid_settings_setstr(settings, "audio.pulseaudio.media-role", "production");
}

void silenceSynthLog() {
    // A null function would be replaced by FluidSynth's default on first use.
    static constexpr fluid_log_function_t quiet = [](int, const char*, void*) {};
    for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, quiet, nullptr);
}

Synth::Synth(const SynthOptions& options)
    : m_options(options), m_settings(new_fluid_settings()), m_rate(options.sampleRate) {
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
    checkCaller();
    if (fluid_synth_sfload(m_synth.get(), path.c_str(), 1) == FLUID_FAILED) {
        error = "cannot load SoundFont: " + path;
        return false;
    }
    m_soundFontLoaded = true;
    return true;
}

void Synth::setSampleRate(int rate) {
    if (rate == m_rate)
        return;
    checkCaller();
    // Deprecated because it is not real-time safe, which does not matter
    // here: no audio runs. A new synth at the new rate would have to load
    // the SoundFont again, which takes far longer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    fluid_synth_set_sample_rate(m_synth.get(), static_cast<float>(rate));
#pragma GCC diagnostic pop
    m_rate = rate;
}

void Synth::silence() {
    checkCaller();
    fluid_synth_all_sounds_off(m_synth.get(), -1);
}

void Synth::checkCaller(bool binds) {
    const std::thread::id self = std::this_thread::get_id();
    std::thread::id owner = m_owner.load(std::memory_order_acquire);
    if (owner == self || owner == std::thread::id{}) {
        if (binds && owner != self)
            m_owner.compare_exchange_strong(owner, self);
        return;
    }
    m_foreignCalls.fetch_add(1, std::memory_order_relaxed);
}

void Synth::render(float* left, float* right, int frames) {
    checkCaller(true);
    // Debian's FluidSynth mixes its reverb and chorus in an OpenMP parallel
    // region, and libgomp allocates and frees a team for each: one pair per
    // call of up to 8192 frames, however many frames it renders.
    m_renderCalls.fetch_add(1, std::memory_order_relaxed);
    fluid_synth_write_float(m_synth.get(), frames, left, 0, 1, right, 0, 1);
}

void Synth::noteOn(int channel, int note, int velocity) {
    checkCaller();
    fluid_synth_noteon(m_synth.get(), channel, note, velocity);
}

void Synth::noteOff(int channel, int note) {
    checkCaller();
    fluid_synth_noteoff(m_synth.get(), channel, note);
}

void Synth::selectProgram(int channel, int bank, int program) {
    checkCaller();
    fluid_synth_bank_select(m_synth.get(), channel, bank);
    fluid_synth_program_change(m_synth.get(), channel, program);
}

void Synth::setDrumChannel(int channel, bool drum) {
    checkCaller();
    fluid_synth_set_channel_type(m_synth.get(), channel,
                                 drum ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
}

FluidNoteOutput::FluidNoteOutput(Synth& synth) : m_synth(synth) {
    for (int t = 0; t < 6; ++t)
        m_wanted[t] = kDrumKit;
    m_wanted[6] = kBassProgram;
    m_applied.fill(-1);
}

void FluidNoteOutput::setupChannels() {
    for (int t = 0; t < 7; ++t)
        m_synth.setDrumChannel(kChannels[t], t < 6);
    for (int t = 0; t < 7; ++t)
        applyProgram(t);
}

void FluidNoteOutput::applyProgram(int track) {
    const int wanted = m_wanted[track].load(std::memory_order_relaxed);
    if (wanted == m_applied[track])
        return;
    m_applied[track] = wanted;
    const int ch = kChannels[track];
    if (wanted == kDrumKit)
        m_synth.selectProgram(ch, kDrumBank, 0);
    else // programs are counted from 1; a cleared field (0) plays program 1
        m_synth.selectProgram(ch, 0, std::clamp(wanted, 1, 128) - 1);
}

void FluidNoteOutput::playNote(int track, int note, int velocity) {
    const int ch = kChannels[track];
    if (velocity == 0) {
        m_synth.noteOff(ch, note);
        return;
    }
    applyProgram(track);
    m_synth.noteOn(ch, note, velocity);
}

void FluidNoteOutput::setInstrument(int track, int instrument) {
    m_wanted[track].store(instrument, std::memory_order_relaxed);
}

} // namespace zumbal
