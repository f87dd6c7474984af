#pragma once

#include <jack/jack.h>
#include <jack/transport.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zumbal::test {

// A timebase master's beat on the transport's frames: `qpm` quarters a
// minute up to `changeFrame` and `laterQpm` after it, in bars of
// `beatsPerBar` quarters, frame 0 being bar 1. Plain arithmetic, so that a
// virtual clock can read the same BBT as a master on a server.
struct TempoChange {
    double qpm = 120;
    int64_t changeFrame = 0;
    double laterQpm = 120;
    int beatsPerBar = 4;
    double ticksPerBeat = 1920;
    int rate = 48000;

    double quartersAt(double transportFrame) const {
        const double split = static_cast<double>(changeFrame);
        if (transportFrame < split)
            return transportFrame / rate * qpm / 60;
        return split / rate * qpm / 60 + (transportFrame - split) / rate * laterQpm / 60;
    }
    double tempoAt(double transportFrame) const {
        return transportFrame < static_cast<double>(changeFrame) ? qpm : laterQpm;
    }
    // The transport frame, with its fraction, where the beat is `quarters`.
    double frameAt(double quarters) const {
        const double split = quartersAt(static_cast<double>(changeFrame));
        if (quarters < split)
            return quarters * 60 / qpm * rate;
        return static_cast<double>(changeFrame) + (quarters - split) * 60 / laterQpm * rate;
    }
    // The BBT at `position.frame`, as a timebase master writes it.
    void writeBbt(jack_position_t& position) const {
        const double q = quartersAt(position.frame);
        const auto beats = static_cast<int64_t>(std::floor(q));
        position.valid = static_cast<jack_position_bits_t>(JackPositionBBT | JackTickDouble);
        position.bar = static_cast<int32_t>(beats / beatsPerBar + 1);
        position.beat = static_cast<int32_t>(beats % beatsPerBar + 1);
        position.tick_double = (q - static_cast<double>(beats)) * ticksPerBeat;
        position.tick = static_cast<int32_t>(position.tick_double);
        position.ticks_per_beat = ticksPerBeat;
        position.beats_per_bar = static_cast<float>(beatsPerBar);
        position.beat_type = 4;
        position.bar_start_tick =
            static_cast<double>(position.bar - 1) * beatsPerBar * ticksPerBeat;
        position.beats_per_minute = tempoAt(position.frame);
    }
};

// A JACK timebase master of the test's own, its bar, beat and tick from the
// transport's frame through a TempoChange. It records what the transport
// says at each cycle, to map the server's frames to the transport's.
class TimebaseMaster {
public:
    struct Cycle {
        int64_t serverFrame = 0, transportFrame = 0;
        bool rolling = false;
    };

    TimebaseMaster(double qpm, int64_t changeFrame, double laterQpm, int beatsPerBar,
                   double ticksPerBeat, int rate)
        : TimebaseMaster(TempoChange{qpm, changeFrame, laterQpm, beatsPerBar, ticksPerBeat, rate}) {
    }
    explicit TimebaseMaster(const TempoChange& tempo) : m_tempo(tempo), m_cycles(20000) {
        jack_status_t status{};
        m_client = jack_client_open("timebase", JackNoStartServer, &status);
        if (!m_client)
            return;
        jack_set_process_callback(m_client, &TimebaseMaster::process, this);
        m_master = jack_set_timebase_callback(m_client, 0, &TimebaseMaster::timebase, this) == 0;
        jack_activate(m_client);
    }
    ~TimebaseMaster() {
        if (m_client)
            jack_client_close(m_client);
    }
    bool ready() const { return m_client && m_master; }
    jack_client_t* client() const { return m_client; }

    const TempoChange& tempo() const { return m_tempo; }
    double quartersAt(double transportFrame) const { return m_tempo.quartersAt(transportFrame); }
    double tempoAt(double transportFrame) const { return m_tempo.tempoAt(transportFrame); }
    std::vector<Cycle> cycles() const {
        const size_t n = m_used.load(std::memory_order_acquire);
        return {m_cycles.begin(), m_cycles.begin() + static_cast<std::ptrdiff_t>(n)};
    }

private:
    static int process(jack_nframes_t, void* data) {
        auto* self = static_cast<TimebaseMaster*>(data);
        jack_position_t position;
        const jack_transport_state_t state = jack_transport_query(self->m_client, &position);
        const size_t used = self->m_used.load(std::memory_order_relaxed);
        if (used < self->m_cycles.size()) {
            self->m_cycles[used] = {jack_last_frame_time(self->m_client),
                                    static_cast<int64_t>(position.frame),
                                    state == JackTransportRolling};
            self->m_used.store(used + 1, std::memory_order_release);
        }
        return 0;
    }
    static void timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* position, int,
                         void* data) {
        static_cast<const TimebaseMaster*>(data)->m_tempo.writeBbt(*position);
    }

    TempoChange m_tempo;
    jack_client_t* m_client = nullptr;
    bool m_master = false;
    std::vector<Cycle> m_cycles;
    std::atomic<size_t> m_used{0};
};

} // namespace zumbal::test
