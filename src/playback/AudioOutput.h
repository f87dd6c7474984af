#pragma once

#include <fluidsynth.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zumbal {

struct AudioDriverDeleter {
    void operator()(fluid_audio_driver_t* d) const { delete_fluid_audio_driver(d); }
};

// Runs the program's render callback: on a sound device through one of
// FluidSynth's drivers, or, when none opens, on a thread paced by the wall
// clock that throws the sound away. Either way the stroke clock advances the
// same, so the program behaves the same with or without a sound card.
class AudioOutput {
public:
    static const std::vector<std::string>& defaultDrivers();

    // Tries `drivers` in order ("null" is always the last resort); FluidSynth
    // does not fall back by itself.
    AudioOutput(fluid_settings_t* settings, fluid_audio_func_t callback, void* data,
                const std::vector<std::string>& drivers);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // The driver in use: "pulseaudio", "alsa", "jack" or "null".
    const std::string& name() const { return m_name; }

private:
    void runNull(int sampleRate, int periodSize);

    std::unique_ptr<fluid_audio_driver_t, AudioDriverDeleter> m_driver;
    std::string m_name;
    fluid_audio_func_t m_callback;
    void* m_data;
    std::atomic<bool> m_stop{false};
    std::thread m_nullThread;
};

} // namespace zumbal
