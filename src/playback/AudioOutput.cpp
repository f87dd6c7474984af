#include "playback/AudioOutput.h"

#include <alsa/asoundlib.h>

#include <chrono>

namespace zumbal {

namespace {

// Without a sound server ALSA prints a burst of errors before failing; the
// program reports the outcome in one line instead.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

} // namespace

const std::vector<std::string>& AudioOutput::defaultDrivers() {
    static const std::vector<std::string> drivers{"pulseaudio", "alsa", "jack"};
    return drivers;
}

AudioOutput::AudioOutput(fluid_settings_t* settings, fluid_audio_func_t callback, void* data,
                         const std::vector<std::string>& drivers)
    : m_callback(callback), m_data(data) {
    snd_lib_error_set_handler(quietAlsa);
    for (const std::string& driver : drivers) {
        if (driver == "null")
            break;
        fluid_settings_setstr(settings, "audio.driver", driver.c_str());
        m_driver.reset(new_fluid_audio_driver2(settings, callback, data));
        if (m_driver) {
            m_name = driver;
            return;
        }
    }
    double rate = 44100;
    int period = 512;
    fluid_settings_getnum(settings, "synth.sample-rate", &rate);
    fluid_settings_getint(settings, "audio.period-size", &period);
    m_name = "null";
    m_nullThread = std::thread([this, rate, period] { runNull(static_cast<int>(rate), period); });
}

AudioOutput::~AudioOutput() {
    m_driver.reset();
    m_stop = true;
    if (m_nullThread.joinable())
        m_nullThread.join();
}

void AudioOutput::runNull(int sampleRate, int periodSize) {
    using Clock = std::chrono::steady_clock;
    std::vector<float> left(periodSize), right(periodSize);
    float* out[2] = {left.data(), right.data()};
    const auto start = Clock::now();
    for (int64_t periods = 0; !m_stop; ++periods) {
        // Each period is due at its absolute time, so sleeping late never drifts.
        const auto due =
            start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                        static_cast<double>(periods) * periodSize / sampleRate));
        std::this_thread::sleep_until(due);
        m_callback(m_data, periodSize, 0, nullptr, 2, out);
    }
}

} // namespace zumbal
