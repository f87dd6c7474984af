#include "playback/SoundSystem.h"

#include "playback/SoundFontLocator.h"

#include <cstdio>
#include <cstdlib>

namespace zumbal {

SoundSystem::SoundSystem(globali& g, SoundOptions options)
    : m_options(std::move(options)), m_synth(m_options.synth), m_noteOutput(m_synth),
      m_random(m_options.seed ? *m_options.seed : std::random_device{}()),
      m_engine(g, m_noteOutput, m_random, m_options.synth.sampleRate) {}

SoundSystem::~SoundSystem() {
    m_output.reset();
}

void SoundSystem::loadSoundFont() {
    m_soundFontPath = findSoundFont(m_options.soundFont, std::getenv("ZUMBAL_SOUNDFONT"));
    std::string error = "no General MIDI SoundFont found";
    if (!m_soundFontPath.empty() && m_synth.loadSoundFont(m_soundFontPath, error)) {
        m_noteOutput.setupChannels();
        return;
    }
    std::fprintf(stderr, "zumbal: %s; playing silently\n", error.c_str());
}

void SoundSystem::startAudio() {
    const auto& drivers =
        m_options.drivers.empty() ? AudioOutput::defaultDrivers() : m_options.drivers;
    m_output =
        std::make_unique<AudioOutput>(m_synth.settings(), &SoundSystem::callback, this, drivers);
    std::fprintf(stderr, "zumbal: audio output: %s\n", m_output->name().c_str());
}

const std::string& SoundSystem::outputName() const {
    static const std::string none = "none";
    return m_output ? m_output->name() : none;
}

void SoundSystem::render(float* left, float* right, int frames) {
    m_engine.process(frames, [&](int offset, int count) {
        m_synth.render(left + offset, right + offset, count);
    });
    m_mixer.mixInto(left, right, frames);
}

int SoundSystem::callback(void* data, int len, int, float*[], int nout, float* out[]) {
    if (nout < 2)
        return FLUID_FAILED;
    static_cast<SoundSystem*>(data)->render(out[0], out[1], len);
    return FLUID_OK;
}

} // namespace zumbal
