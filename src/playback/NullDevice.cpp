#include "playback/AudioDevice.h"

#include <chrono>
#include <thread>
#include <vector>

namespace zumbal {

namespace {

// Without a sound device the callbacks come from a thread paced by the wall
// clock, so the stroke clock and everything that follows it run as they do
// with sound. Each period is "heard" when it is due (the steady clock is
// CLOCK_MONOTONIC).
class NullDevice final : public AudioDevice {
public:
    NullDevice(const DeviceOptions& options, AudioSource& source)
        : m_source(source), m_rate(options.sampleRate), m_period(options.periodSize),
          m_left(m_period), m_right(m_period) {
        setPeriodSize(m_period);
    }
    ~NullDevice() override {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    int sampleRate() const override { return m_rate; }
    bool start(std::string&) override {
        m_thread = std::thread([this] { run(); });
        return true;
    }

private:
    void run() {
        using Clock = std::chrono::steady_clock;
        const auto begin = Clock::now();
        for (int64_t periods = 0; !m_stop; ++periods) {
            // Each period is due at its absolute time, so sleeping late never drifts.
            const auto due =
                begin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                            static_cast<double>(periods) * m_period / m_rate));
            std::this_thread::sleep_until(due);
            m_source.heardAt(
                std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch())
                    .count());
            m_source.render(m_left.data(), m_right.data(), m_period, nullptr);
        }
    }

    AudioSource& m_source;
    int m_rate;
    int m_period;
    std::vector<float> m_left, m_right;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

std::unique_ptr<AudioDevice> openNullDevice(const DeviceOptions& options, AudioSource& source) {
    return std::make_unique<NullDevice>(options, source);
}

} // namespace zumbal
