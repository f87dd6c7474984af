#include "playback/AudioOutput.h"

#include "playback/AllocationCounter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zumbal {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);

bool playable(int rate) {
    return rate >= kMinSampleRate && rate <= kMaxSampleRate;
}

} // namespace

const std::vector<std::string>& AudioOutput::defaultDrivers() {
    static const std::vector<std::string> drivers{"pulseaudio", "alsa", "jack"};
    return drivers;
}

void AudioOutput::Meter::render(float* left, float* right, int frames, MidiSink* midi) {
    const AudioThreadScope audioThread;
    const int64_t begin = monotonicNs();
    const int rate = this->rate.load(std::memory_order_relaxed);
    // A device that never says when it plays is taken to play now.
    const int64_t heard = m_heard >= 0 ? m_heard : m_grid.aligning() ? begin : 0;
    if (m_heard > 0)
        m_heard += static_cast<int64_t>(frames) * 1'000'000'000 / rate;
    const HeardGrid::Placement placement = m_grid.place(heard, rate);
    if (placement.silent) {
        std::fill_n(left, frames, 0.0f);
        std::fill_n(right, frames, 0.0f);
        m_grid.waited(frames);
    } else {
        if (placement.skip > 0)
            m_client.skip(static_cast<int>(placement.skip));
        m_client.heardAt(heard);
        m_client.render(left, right, frames, midi);
        m_grid.played(heard, frames, rate);
    }
    const int64_t took = monotonicNs() - begin;
    const int64_t budget = static_cast<int64_t>(frames) * 1'000'000'000 / rate;
    if (took > budget)
        lateRenders.fetch_add(1, std::memory_order_relaxed);
    if (took > maxRenderNs.load(std::memory_order_relaxed))
        maxRenderNs.store(took, std::memory_order_relaxed);
    callbacks.fetch_add(1, std::memory_order_relaxed);
}

void AudioOutput::Meter::skip(int frames) {
    m_client.skip(frames);
    m_grid.skipped(frames, rate.load(std::memory_order_relaxed));
}

void AudioOutput::Meter::realign() {
    m_heard = -1;
    m_grid.realign();
}

AudioOutput::AudioOutput(AudioClient& client, OutputOptions options)
    : m_client(client), m_options(std::move(options)), m_hold(client), m_meter(m_hold) {
    const auto& drivers = m_options.drivers.empty() ? defaultDrivers() : m_options.drivers;
    for (const std::string& driver : drivers) {
        if (driver == "null")
            break;
        std::string error;
        if (auto device = open(driver, error)) {
            switchTo(std::move(device), driver);
            if (m_device)
                break;
        }
        m_refusals += (m_refusals.empty() ? "" : "; ") + error;
    }
    if (!m_device)
        switchTo(openNullDevice(m_options.device, m_meter), "null");
    m_supervisor = std::thread([this] { supervise(); });
}

AudioOutput::~AudioOutput() {
    {
        std::lock_guard lock(m_wakeMutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_supervisor.join();
    std::lock_guard lock(m_mutex);
    m_device.reset();
}

std::unique_ptr<AudioDevice> AudioOutput::open(const std::string& driver, std::string& error) {
    std::unique_ptr<AudioDevice> device;
    if (m_options.openDevice)
        device = m_options.openDevice(driver, m_options.device, m_meter, error);
    else if (driver == "pulseaudio")
        device = openPulseDevice(m_options.device, m_meter, error);
    else if (driver == "jack")
        device = openJackDevice(m_options.device, m_meter, error);
    else if (driver == "alsa")
        device = openAlsaDevice(m_options.device, m_meter, error);
    else
        error = "no audio output called \"" + driver + "\"";
    // Played at another rate than the device's, the loop would be out of
    // tune and out of time: better another output, or silence.
    if (device && !playable(device->sampleRate())) {
        error = driver + " runs at " + std::to_string(device->sampleRate()) +
                " Hz, outside the synthesizer's " + std::to_string(kMinSampleRate) + " to " +
                std::to_string(kMaxSampleRate) + " Hz";
        device.reset();
    }
    return device;
}

void AudioOutput::switchTo(std::unique_ptr<AudioDevice> device, const std::string& driver) {
    std::unique_ptr<AudioDevice> old;
    {
        std::lock_guard lock(m_mutex);
        old = std::move(m_device);
        if (old) {
            m_pastUnderruns += old->underruns();
            m_pastServerXruns += old->serverXruns();
        }
    }
    old.reset(); // its callbacks have ended once it is gone

    // The clock moves on over the time nothing played once the new output
    // says when its first buffer is heard.
    const int rate = device->sampleRate();
    m_client.prepare(0, rate);
    m_meter.rate.store(rate, std::memory_order_relaxed);
    m_meter.realign();
    std::string error;
    if (!device->start(error)) {
        std::fprintf(stderr, "zumbal: %s\n", error.c_str());
        return;
    }
    std::lock_guard lock(m_mutex);
    m_device = std::move(device);
    m_name = driver;
}

void AudioOutput::supervise() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextRetry{};
    std::unique_lock wakeLock(m_wakeMutex);
    while (!m_wake.wait_for(wakeLock, kPollInterval, [this] { return m_stop; })) {
        wakeLock.unlock();
        std::string lost, name;
        bool failed = false;
        int rate = 0;
        {
            std::lock_guard lock(m_mutex);
            lost = m_lost;
            name = m_name;
            failed = m_device && m_device->failed();
            rate = m_device ? m_device->sampleRate() : 0;
            if (failed)
                lost = m_name;
        }
        if (!failed && rate != m_meter.rate.load(std::memory_order_relaxed)) {
            failed = !playable(rate) || !followRate(rate);
            if (failed)
                lost = name;
            else
                std::fprintf(stderr, "zumbal: audio output %s now runs at %d Hz\n", name.c_str(),
                             rate);
        }
        if (failed) {
            std::fprintf(stderr,
                         "zumbal: audio output %s lost; playing silently, trying it again "
                         "every 2 s\n",
                         lost.c_str());
            switchTo(openNullDevice(m_options.device, m_meter), "null");
            std::lock_guard lock(m_mutex);
            m_lost = lost;
            // A changed rate reopens at once; a server that has gone takes longer.
            nextRetry = Clock::now();
        } else if (!lost.empty() && Clock::now() >= nextRetry) {
            nextRetry = Clock::now() + kRetryInterval;
            std::string error;
            if (auto device = open(lost, error)) {
                switchTo(std::move(device), lost);
                std::lock_guard lock(m_mutex);
                if (m_name == lost) {
                    m_lost.clear();
                    std::fprintf(stderr, "zumbal: audio output %s is back\n", lost.c_str());
                }
            }
        }
        wakeLock.lock();
    }
}

bool AudioOutput::followRate(int rate) {
    return m_hold.whileHeld(std::chrono::milliseconds(500), [&] {
        m_client.prepare(0, rate);
        m_meter.rate.store(rate, std::memory_order_relaxed);
    });
}

std::string AudioOutput::name() const {
    std::lock_guard lock(m_mutex);
    return m_name;
}

std::string AudioOutput::lost() const {
    std::lock_guard lock(m_mutex);
    return m_lost;
}

bool AudioOutput::leadTransport(bool on) {
    std::lock_guard lock(m_mutex);
    return m_device && m_device->leadTransport(on);
}

AudioStats AudioOutput::stats() const {
    AudioStats s;
    std::lock_guard lock(m_mutex);
    s.output = m_name;
    s.sampleRate = m_meter.rate.load(std::memory_order_relaxed);
    if (m_device) {
        s.periodSize = m_device->periodSize();
        s.latencyMs = m_device->latencyMs();
        s.underruns = m_pastUnderruns + m_device->underruns();
        s.serverXruns = m_pastServerXruns + m_device->serverXruns();
    }
    s.callbacks = m_meter.callbacks.load(std::memory_order_relaxed);
    s.lateRenders = m_meter.lateRenders.load(std::memory_order_relaxed);
    s.maxRenderMs = static_cast<double>(m_meter.maxRenderNs.load(std::memory_order_relaxed)) / 1e6;
    return s;
}

} // namespace zumbal
