#pragma once

#include "playback/MidiSink.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zumbal {

namespace sync {
class JackTransportFollower;
class JackTransportLeader;
} // namespace sync

// What an audio device drives. Called on the device's audio thread, one
// callback at a time; nothing here may lock, allocate or log.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Fills `frames` of both channels, and writes the buffer's MIDI into
    // `midi` where the device has MIDI ports.
    virtual void render(float* left, float* right, int frames, MidiSink* midi) = 0;
    // The device played `frames` without us (an underrun): the clock moves on
    // by as much, so that the beat stays on the device's grid.
    virtual void skip(int frames) = 0;
    // One MIDI event arrived on the device's MIDI input, before the buffer
    // it came with is rendered, `offset` frames into that buffer.
    virtual void midiReceived(const uint8_t* bytes, size_t size, int offset) = 0;
    // Called before render() by a device that knows it: the first frame of
    // the buffer about to be rendered reaches the listener at `monotonicNs`
    // (CLOCK_MONOTONIC; 0: the device cannot tell yet). Buffers rendered
    // without a call follow the last one's.
    virtual void heardAt(int64_t monotonicNs) { (void)monotonicNs; }
};

// CLOCK_MONOTONIC in nanoseconds, the clock of heardAt().
int64_t monotonicNs();

// The rates the synthesizer can play at.
inline constexpr int kMinSampleRate = 8000;
inline constexpr int kMaxSampleRate = 96000;

struct DeviceOptions {
    // The rate to ask for where the device lets us choose.
    int sampleRate = 44100;
    // Frames per period, and the latency to aim for (0: two periods).
    int periodSize = 512;
    double latencyMs = 0;
    // JACK: connect the outputs to the first two physical playback ports.
    bool connectPorts = true;
    // JACK: handed the transport at the start of every cycle, and its
    // requests to start and stop the transport made.
    sync::JackTransportFollower* transport = nullptr;
    // JACK: Zumbal's beat as the transport's timebase master, while it
    // leads; its Play and Stop start and stop the transport.
    sync::JackTransportLeader* leader = nullptr;

    double latencyFrames(int rate) const {
        return latencyMs > 0 ? latencyMs * rate / 1000.0 : 2.0 * periodSize;
    }
};

// A sound output of one kind. Opening it finds out its real sample rate
// without calling the source yet; start() then begins the callbacks. The
// device reports an end it cannot recover from (server gone, device
// unplugged) through failed(); its owner then closes it.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;

    virtual int sampleRate() const = 0;
    // Returns false, with a one-line reason, when the callbacks cannot begin.
    virtual bool start(std::string& error) = 0;
    // Leads the JACK transport (on), unless another timebase master does,
    // or gives the lead back; whether Zumbal now leads it.
    virtual bool leadTransport(bool on) {
        (void)on;
        return false;
    }
    // The output's latency as last measured, in milliseconds.
    double latencyMs() const { return m_latencyMs.load(std::memory_order_relaxed); }
    int periodSize() const { return m_periodSize.load(std::memory_order_relaxed); }
    bool failed() const { return m_failed.load(std::memory_order_acquire); }
    // Underruns the device reported: it ran out of our sound.
    uint64_t underruns() const { return m_underruns.load(std::memory_order_relaxed); }
    // Xruns of the server the device is a client of (JACK), whichever of its
    // clients was late.
    uint64_t serverXruns() const { return m_serverXruns.load(std::memory_order_relaxed); }

protected:
    void setFailed() { m_failed.store(true, std::memory_order_release); }
    void countUnderrun() { m_underruns.fetch_add(1, std::memory_order_relaxed); }
    void countServerXrun() { m_serverXruns.fetch_add(1, std::memory_order_relaxed); }
    void setLatency(double ms) { m_latencyMs.store(ms, std::memory_order_relaxed); }
    void setPeriodSize(int frames) { m_periodSize.store(frames, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_failed{false};
    std::atomic<uint64_t> m_underruns{0};
    std::atomic<uint64_t> m_serverXruns{0};
    std::atomic<double> m_latencyMs{0};
    std::atomic<int> m_periodSize{0};
};

// `device` once it opens; nullptr, with the reason in `error`, when it does not.
template <class Device>
std::unique_ptr<AudioDevice> openedOrNull(std::unique_ptr<Device> device, std::string& error) {
    if (!device->open(error))
        return nullptr;
    return device;
}

// Each returns nullptr, with a one-line reason in `error`, when the output
// cannot be opened. None starts a sound server.
std::unique_ptr<AudioDevice> openPulseDevice(const DeviceOptions& options, AudioSource& source,
                                             std::string& error);
std::unique_ptr<AudioDevice> openJackDevice(const DeviceOptions& options, AudioSource& source,
                                            std::string& error);
std::unique_ptr<AudioDevice> openAlsaDevice(const DeviceOptions& options, AudioSource& source,
                                            std::string& error);
// PipeWire's JACK names a client's node after the program's file, with no
// icon and the role "DSP"; it takes the node's properties from
// PIPEWIRE_PROPS instead. These are Zumbal's name, icon and role, followed
// by `user` (the user's own PIPEWIRE_PROPS, or nullptr), whose keys win.
// jackd2's libjack ignores them.
std::string pipeWireJackProperties(const char* user);

// Throws the sound away, paced by the wall clock; always opens.
std::unique_ptr<AudioDevice> openNullDevice(const DeviceOptions& options, AudioSource& source);

// Asks for real-time scheduling of the calling thread where the system
// permits it; quietly does nothing where it does not.
void requestRealtimePriority();

} // namespace zumbal
