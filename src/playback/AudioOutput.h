#pragma once

#include "playback/AudioDevice.h"
#include "playback/ClientHold.h"
#include "playback/HeardGrid.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zumbal {

// What the output drives: the render callback, and a way to follow the rate
// of whichever device is open.
class AudioClient : public AudioSource {
public:
    // Called while no callback runs: `missedFrames` (at the old rate) went by
    // with no device playing, and the callbacks begin again at `sampleRate`,
    // on a thread that may be new.
    virtual void prepare(int64_t missedFrames, int sampleRate) = 0;
};

struct OutputOptions {
    // Tried in order; "null" ends the list. Empty: defaultDrivers().
    std::vector<std::string> drivers;
    DeviceOptions device;
    // Opens the output called `driver` in place of the program's own outputs.
    std::function<std::unique_ptr<AudioDevice>(const std::string& driver, const DeviceOptions&,
                                               AudioSource&, std::string& error)>
        openDevice = nullptr;
};

// What the audio side has been through, for the benchmark and --stats.
struct AudioStats {
    std::string output;
    int sampleRate = 0;
    int periodSize = 0;
    double latencyMs = 0;
    uint64_t callbacks = 0;
    // Callbacks whose render took longer than the sound it made.
    uint64_t lateRenders = 0;
    uint64_t underruns = 0;
    uint64_t serverXruns = 0;
    double maxRenderMs = 0;
    // Calls of the malloc family the audio callback made; -1: not counted.
    int64_t allocations = -1;
};

// Opens the first output of the list that works, else the silent one, and
// keeps the clock going whatever happens to it: when the output is lost
// (server killed, device gone) the silent output takes over without a jump
// in the clock, the program says so once, and the lost output is tried again
// every two seconds until sound comes back, in time with the running clock.
// An output whose rate changes under it (a JACK server) keeps playing: the
// clock follows the new rate.
class AudioOutput {
public:
    static const std::vector<std::string>& defaultDrivers();
    static constexpr auto kRetryInterval = std::chrono::seconds(2);

    AudioOutput(AudioClient& client, OutputOptions options);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // The output in use: "pulseaudio", "alsa", "jack" or "null".
    std::string name() const;
    // The output that was lost and is being retried; empty while all is well.
    std::string lost() const;
    // Why the outputs tried before the one in use did not open, in one line.
    const std::string& refusals() const { return m_refusals; }
    AudioStats stats() const;
    // The output in use leads the JACK transport, or gives the lead back;
    // whether it now leads (never but on JACK).
    bool leadTransport(bool on);

private:
    // Forwards the callbacks, keeps the sound on the grid it is heard on
    // from one output to the next, and measures the callbacks; lock-free.
    class Meter final : public AudioSource {
    public:
        explicit Meter(AudioSource& client) : m_client(client) {}
        void render(float* left, float* right, int frames, MidiSink* midi) override;
        void skip(int frames) override;
        void midiReceived(const uint8_t* bytes, size_t size, int offset) override {
            m_client.midiReceived(bytes, size, offset);
        }
        void heardAt(int64_t monotonicNs) override { m_heard = monotonicNs; }
        // While no callbacks run: the next output's first sound goes where
        // the grid of the last one puts it.
        void realign();

        std::atomic<int> rate{44100};
        std::atomic<uint64_t> callbacks{0};
        std::atomic<uint64_t> lateRenders{0};
        std::atomic<int64_t> maxRenderNs{0};

    private:
        AudioSource& m_client;
        // Audio thread only.
        HeardGrid m_grid;
        int64_t m_heard = -1; // when the next buffer is heard; -1: never said
    };

    std::unique_ptr<AudioDevice> open(const std::string& driver, std::string& error);
    // Starts `device` in place of the running one, carrying the clock over the switch.
    void switchTo(std::unique_ptr<AudioDevice> device, const std::string& driver);
    void supervise();
    // Moves the client to the rate the device now runs at, while its
    // callbacks play silence; false when they do not come.
    bool followRate(int rate);

    AudioClient& m_client;
    OutputOptions m_options;
    ClientHold m_hold;
    Meter m_meter;
    std::string m_refusals;

    mutable std::mutex m_mutex; // guards the fields below against the readers
    std::unique_ptr<AudioDevice> m_device;
    std::string m_name;
    std::string m_lost;
    uint64_t m_pastUnderruns = 0, m_pastServerXruns = 0;

    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_supervisor;
};

} // namespace zumbal
