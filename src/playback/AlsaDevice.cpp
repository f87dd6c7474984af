#include "playback/AudioDevice.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace zumbal {

namespace {

// Without a sound server ALSA prints a burst of errors before failing; the
// program reports the outcome in one line instead.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

using Clock = std::chrono::steady_clock;

// The "default" ALSA device, written from a thread of our own with the
// buffer of the latency asked for (two periods at least).
class AlsaDevice final : public AudioDevice {
public:
    AlsaDevice(const DeviceOptions& options, AudioSource& source)
        : m_options(options), m_source(source) {}

    ~AlsaDevice() override {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_pcm)
            snd_pcm_close(m_pcm);
    }

    bool open(std::string& error) {
        snd_lib_error_set_handler(quietAlsa);
        int err = snd_pcm_open(&m_pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
        if (err < 0) {
            m_pcm = nullptr;
            error = std::string("ALSA: ") + snd_strerror(err);
            return false;
        }
        const double latencyUs =
            std::max(2.0 * m_options.periodSize, m_options.latencyFrames(m_options.sampleRate)) *
            1e6 / m_options.sampleRate;
        err = snd_pcm_set_params(m_pcm, SND_PCM_FORMAT_FLOAT, SND_PCM_ACCESS_RW_INTERLEAVED, 2,
                                 static_cast<unsigned>(m_options.sampleRate), 1,
                                 static_cast<unsigned>(latencyUs));
        snd_pcm_uframes_t buffer = 0, period = 0;
        if (err >= 0)
            err = snd_pcm_get_params(m_pcm, &buffer, &period);
        if (err < 0) {
            error = std::string("ALSA: ") + snd_strerror(err);
            return false;
        }
        snd_pcm_hw_params_t* hw = nullptr;
        snd_pcm_hw_params_alloca(&hw);
        unsigned rate = static_cast<unsigned>(m_options.sampleRate);
        if (snd_pcm_hw_params_current(m_pcm, hw) == 0)
            snd_pcm_hw_params_get_rate(hw, &rate, nullptr);
        m_rate = static_cast<int>(rate);
        m_period = static_cast<int>(period);
        m_buffer = static_cast<int>(buffer);
        setPeriodSize(m_period);
        setLatency(m_buffer * 1000.0 / m_rate);
        m_left.resize(m_period);
        m_right.resize(m_period);
        m_interleaved.resize(2 * m_period);
        return true;
    }

    int sampleRate() const override { return m_rate; }

    bool start(std::string&) override {
        m_thread = std::thread([this] { run(); });
        return true;
    }

private:
    void run() {
        requestRealtimePriority();
        Clock::time_point dryAt = Clock::now();
        while (!m_stop) {
            // What is queued plays before the period about to be rendered.
            snd_pcm_sframes_t queued = 0;
            const int64_t now = monotonicNs();
            m_source.heardAt(snd_pcm_delay(m_pcm, &queued) == 0 && queued > 0
                                 ? now + static_cast<int64_t>(queued) * 1'000'000'000 / m_rate
                                 : now);
            m_source.render(m_left.data(), m_right.data(), m_period, nullptr);
            for (int i = 0; i < m_period; ++i) {
                m_interleaved[2 * i] = m_left[i];
                m_interleaved[2 * i + 1] = m_right[i];
            }
            const float* data = m_interleaved.data();
            for (int left = m_period; left > 0 && !m_stop;) {
                const snd_pcm_sframes_t written = snd_pcm_writei(m_pcm, data, left);
                if (written >= 0) {
                    data += 2 * written;
                    left -= static_cast<int>(written);
                    continue;
                }
                if (written == -EPIPE) {
                    // The device ran dry: the clock moves on by what it played without us.
                    countUnderrun();
                    const double lost =
                        std::chrono::duration<double>(Clock::now() - dryAt).count() * m_rate;
                    if (lost >= 1)
                        m_source.skip(static_cast<int>(std::lround(lost)));
                }
                if (snd_pcm_recover(m_pcm, static_cast<int>(written), 1) < 0) {
                    setFailed();
                    return;
                }
            }
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_delay(m_pcm, &delay) == 0)
                dryAt = Clock::now() +
                        std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(static_cast<double>(delay) / m_rate));
        }
    }

    DeviceOptions m_options;
    AudioSource& m_source;
    snd_pcm_t* m_pcm = nullptr;
    int m_rate = 0, m_period = 0, m_buffer = 0;
    std::vector<float> m_left, m_right, m_interleaved;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

std::unique_ptr<AudioDevice> openAlsaDevice(const DeviceOptions& options, AudioSource& source,
                                            std::string& error) {
    return openedOrNull(std::make_unique<AlsaDevice>(options, source), error);
}

} // namespace zumbal
