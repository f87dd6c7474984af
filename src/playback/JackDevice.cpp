#include "playback/AudioDevice.h"
#include "sync/JackTransportFollower.h"
#include "sync/JackTransportLeader.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace zumbal {

namespace {

// PIPEWIRE_PROPS as pipeWireJackProperties() gives it while the client
// opens, then put back, so that programs started from here do not inherit it.
class PipeWireProperties {
public:
    PipeWireProperties() {
        const char* user = std::getenv(kName);
        if (user)
            m_user = user;
        setenv(kName, pipeWireJackProperties(user).c_str(), 1);
    }
    ~PipeWireProperties() {
        if (m_user)
            setenv(kName, m_user->c_str(), 1);
        else
            unsetenv(kName);
    }
    PipeWireProperties(const PipeWireProperties&) = delete;
    PipeWireProperties& operator=(const PipeWireProperties&) = delete;

private:
    static constexpr const char* kName = "PIPEWIRE_PROPS";
    std::optional<std::string> m_user;
};

// libjack prints its own complaints (no server, shared memory) on stderr;
// the program says what matters in one line of its own.
void quietJack(const char*) {}

// The MIDI of one process cycle, written straight into the ports' buffers.
// JACK takes the events of a port in frame order, as the engine gives them.
class JackMidiBuffers final : public MidiSink {
public:
    JackMidiBuffers(void* notes, void* clock) : m_notes(notes), m_clock(clock) {
        jack_midi_clear_buffer(m_notes);
        jack_midi_clear_buffer(m_clock);
    }
    void note(int frame, const uint8_t* bytes, int size) override {
        jack_midi_event_write(m_notes, static_cast<jack_nframes_t>(frame), bytes,
                              static_cast<size_t>(size));
    }
    void clock(int frame, uint8_t byte) override {
        jack_midi_event_write(m_clock, static_cast<jack_nframes_t>(frame), &byte, 1);
    }

private:
    void* m_notes;
    void* m_clock;
};

// Zumbal's own JACK client: its ports carry the program's name, are
// connected to the speakers unless the user patches them, and the synth runs
// at the server's rate. Besides the audio it has "midi_out" (the notes as
// played, each on its own frame), "clock_out" (MIDI clock, Start and Stop)
// and "midi_in". The process callback is the audio thread; so are the
// transport's sync and timebase callbacks, which come before and after it.
class JackDevice final : public AudioDevice {
public:
    JackDevice(const DeviceOptions& options, AudioSource& source)
        : m_options(options), m_source(source) {}

    ~JackDevice() override {
        if (m_leads)
            m_options.leader->setLeading(false);
        if (m_client)
            jack_client_close(m_client);
    }

    bool open(std::string& error) {
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
        jack_status_t status{};
        {
            const PipeWireProperties shown;
            m_client = jack_client_open("Zumbal", JackNoStartServer, &status);
        }
        if (!m_client) {
            error = (status & JackServerFailed) ? "JACK: no server is running"
                                                : "JACK: cannot open a client";
            return false;
        }
        m_rate = static_cast<int>(jack_get_sample_rate(m_client));
        setPeriodSize(static_cast<int>(jack_get_buffer_size(m_client)));
        m_left =
            jack_port_register(m_client, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        m_right =
            jack_port_register(m_client, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        m_midiOut =
            jack_port_register(m_client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        m_clockOut =
            jack_port_register(m_client, "clock_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        m_midiIn =
            jack_port_register(m_client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (!m_left || !m_right || !m_midiOut || !m_clockOut || !m_midiIn) {
            error = "JACK: cannot register the ports";
            return false;
        }
        jack_set_process_callback(m_client, &JackDevice::process, this);
        jack_set_xrun_callback(m_client, &JackDevice::xrun, this);
        jack_set_sample_rate_callback(m_client, &JackDevice::rateChanged, this);
        jack_set_buffer_size_callback(m_client, &JackDevice::bufferSizeChanged, this);
        jack_on_shutdown(m_client, &JackDevice::shutdown, this);
        // Zumbal holds the transport's start through its count-in while it
        // leads; otherwise it is ready at once.
        if (m_options.leader)
            jack_set_sync_callback(m_client, &JackDevice::readyToRoll, this);
        return true;
    }

    int sampleRate() const override { return m_rate.load(std::memory_order_relaxed); }

    bool start(std::string& error) override {
        if (jack_activate(m_client) != 0) {
            error = "JACK: cannot activate the client";
            return false;
        }
        if (m_options.connectPorts)
            connectToPlayback();
        updateLatency();
        if (m_options.leader && m_options.leader->wanted())
            leadTransport(true);
        return true;
    }

    // Conditional: a timebase master already there keeps the role.
    bool leadTransport(bool on) override {
        if (!m_options.leader)
            return false;
        if (on && !m_options.leader->leading()) {
            // Also when the role was taken from Zumbal: asked again, it takes
            // it back only from no one.
            m_leads = jack_set_timebase_callback(m_client, 1, &JackDevice::timebase, this) == 0;
        } else if (!on && m_leads) {
            jack_release_timebase(m_client);
            m_leads = false;
        }
        m_options.leader->setLeading(m_leads);
        return m_leads;
    }

private:
    void connectToPlayback() {
        const char** ports = jack_get_ports(m_client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                            JackPortIsPhysical | JackPortIsInput);
        if (!ports)
            return;
        // A mono playback device gets both channels.
        const char* left = ports[0];
        const char* right = left && ports[1] ? ports[1] : left;
        if (left) {
            jack_connect(m_client, jack_port_name(m_left), left);
            jack_connect(m_client, jack_port_name(m_right), right);
        }
        jack_free(ports);
    }

    void updateLatency() {
        jack_latency_range_t range{};
        jack_port_get_latency_range(m_left, JackPlaybackLatency, &range);
        const double frames = range.max > 0 ? range.max : jack_get_buffer_size(m_client);
        setLatency(frames * 1000.0 / sampleRate());
    }

    static int process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<JackDevice*>(data);
        // Cycles the server ran without us (an xrun) move the clock on by as
        // much, so that the beat stays on the server's frames. A new period
        // size moves the server's frame count too (jackd2 by the difference
        // of the sizes, PipeWire by the new size) though no time was lost,
        // and so may a new rate: the clock then goes on from the last cycle.
        const jack_nframes_t start = jack_last_frame_time(self->m_client);
        const int rate = self->m_rate.load(std::memory_order_relaxed);
        if (self->m_started && frames == self->m_lastFrames && rate == self->m_lastRate) {
            const auto missed = static_cast<int32_t>(start - self->m_expected);
            if (missed > 0)
                self->m_source.skip(missed);
        }
        self->m_started = true;
        self->m_lastFrames = frames;
        self->m_lastRate = rate;
        self->m_expected = start + frames;
        auto* left = static_cast<float*>(jack_port_get_buffer(self->m_left, frames));
        auto* right = static_cast<float*>(jack_port_get_buffer(self->m_right, frames));
        void* midiIn = jack_port_get_buffer(self->m_midiIn, frames);
        const jack_nframes_t received = jack_midi_get_event_count(midiIn);
        for (jack_nframes_t i = 0; i < received; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, midiIn, i) == 0)
                self->m_source.midiReceived(event.buffer, event.size, static_cast<int>(event.time));
        }
        if (sync::JackTransportFollower* transport = self->m_options.transport) {
            jack_position_t position;
            const jack_transport_state_t state = jack_transport_query(self->m_client, &position);
            transport->cycle(state, position);
            if (const int request = transport->takeRequest(); request > 0)
                jack_transport_start(self->m_client);
            else if (request < 0)
                jack_transport_stop(self->m_client);
        }
        JackMidiBuffers midi(jack_port_get_buffer(self->m_midiOut, frames),
                             jack_port_get_buffer(self->m_clockOut, frames));
        self->m_source.heardAt(self->heardNs());
        self->m_source.render(left, right, static_cast<int>(frames), &midi);
        if (sync::JackTransportLeader* leader = self->m_options.leader) {
            const sync::JackTransportLeader::Move move = leader->move();
            if (move == sync::JackTransportLeader::Move::Start) {
                jack_transport_locate(self->m_client, 0);
                jack_transport_start(self->m_client);
            } else if (move == sync::JackTransportLeader::Move::Stop) {
                jack_transport_stop(self->m_client);
            }
            self->noticeTakeover(*leader);
        }
        return 0;
    }

    // While the transport rolls, the timebase callback comes after every
    // cycle; rolling cycles without it mean that another client has taken
    // the role unconditionally, and Zumbal no longer leads.
    void noticeTakeover(sync::JackTransportLeader& leader) {
        if (!leader.leading())
            return;
        const bool heard = m_timebaseCalls != m_timebaseCallsSeen;
        m_timebaseCallsSeen = m_timebaseCalls;
        if (heard || jack_transport_query(m_client, nullptr) != JackTransportRolling)
            m_unheardCycles = 0;
        else if (++m_unheardCycles > kUnheardCycles)
            leader.setLeading(false);
    }

    static int readyToRoll(jack_transport_state_t, jack_position_t*, void* data) {
        const auto* self = static_cast<const JackDevice*>(data);
        return self->m_options.leader->readyToRoll(static_cast<int>(self->m_lastFrames),
                                                   self->m_rate.load(std::memory_order_relaxed));
    }

    // For the next cycle, from the beat the render just published.
    static void timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* position, int,
                         void* data) {
        auto* self = static_cast<JackDevice*>(data);
        ++self->m_timebaseCalls;
        self->m_options.leader->fill(*position);
    }

    // The cycle's first frame is heard the playback latency after the cycle
    // starts, on the server's own estimate of when that was, moved onto
    // CLOCK_MONOTONIC: jackd2 keeps its time on CLOCK_MONOTONIC_RAW, apart
    // from it by all that NTP has slewed CLOCK_MONOTONIC since boot.
    int64_t heardNs() const {
        jack_nframes_t frames = 0;
        jack_time_t usecs = 0, next = 0;
        float period = 0;
        const auto latency = static_cast<int64_t>(latencyMs() * 1e6);
        if (jack_get_cycle_times(m_client, &frames, &usecs, &next, &period) != 0)
            return monotonicNs() + latency;
        const int64_t serverAhead = static_cast<int64_t>(jack_get_time()) * 1000 - monotonicNs();
        return static_cast<int64_t>(usecs) * 1000 - serverAhead + latency;
    }

    // Any client's lateness is an xrun of the whole graph; whether ours was
    // late the output's late renders tell.
    static int xrun(void* data) {
        static_cast<JackDevice*>(data)->countServerXrun();
        return 0;
    }

    // The callbacks run at the rate the server says last, whatever it said
    // at open (PipeWire tells a new client the rate it was configured with
    // while its graph runs at another): the owner moves the synth and the
    // stroke clock to it.
    static int rateChanged(jack_nframes_t rate, void* data) {
        static_cast<JackDevice*>(data)->m_rate.store(static_cast<int>(rate),
                                                     std::memory_order_relaxed);
        return 0;
    }

    // The callback renders whatever length it is given.
    static int bufferSizeChanged(jack_nframes_t frames, void* data) {
        static_cast<JackDevice*>(data)->setPeriodSize(static_cast<int>(frames));
        return 0;
    }

    static void shutdown(void* data) { static_cast<JackDevice*>(data)->setFailed(); }

    DeviceOptions m_options;
    AudioSource& m_source;

    jack_client_t* m_client = nullptr;
    jack_port_t* m_left = nullptr;
    jack_port_t* m_right = nullptr;
    jack_port_t* m_midiOut = nullptr;
    jack_port_t* m_clockOut = nullptr;
    jack_port_t* m_midiIn = nullptr;
    std::atomic<int> m_rate{0};
    // The timebase master; on the thread that opens, starts and closes the
    // device, and on the GUI's through the output, never at once.
    bool m_leads = false;
    // Process thread only.
    bool m_started = false;
    jack_nframes_t m_expected = 0;
    jack_nframes_t m_lastFrames = 0;
    int m_lastRate = 0;
    // The timebase callbacks, and the rolling cycles that had none.
    static constexpr int kUnheardCycles = 2;
    uint64_t m_timebaseCalls = 0, m_timebaseCallsSeen = 0;
    int m_unheardCycles = 0;
};

} // namespace

std::string pipeWireJackProperties(const char* user) {
    std::string_view own = user ? user : "";
    if (own.size() >= 2 && own.front() == '{' && own.back() == '}')
        own = own.substr(1, own.size() - 2);
    return "{ application.name=Zumbal application.icon-name=zumbal media.role=Production " +
           std::string(own) + " }";
}

std::unique_ptr<AudioDevice> openJackDevice(const DeviceOptions& options, AudioSource& source,
                                            std::string& error) {
    return openedOrNull(std::make_unique<JackDevice>(options, source), error);
}

} // namespace zumbal
