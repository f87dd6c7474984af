#pragma once

#include <jack/jack.h>
#include <jack/transport.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zumbal::test {

// A JACK timebase master of the test's own: its bar, beat and tick come from
// the transport's frame, at `qpm` quarters a minute up to `changeFrame` and
// at `laterQpm` after it, in bars of `beatsPerBar` quarters. It records what
// the transport says at each cycle, to map the server's frames to the
// transport's.
class TimebaseMaster {
public:
    struct Cycle {
        int64_t serverFrame = 0, transportFrame = 0;
        bool rolling = false;
    };

    TimebaseMaster(double qpm, int64_t changeFrame, double laterQpm, int beatsPerBar,
                   double ticksPerBeat, int rate)
        : m_qpm(qpm), m_changeFrame(changeFrame), m_laterQpm(laterQpm), m_beatsPerBar(beatsPerBar),
          m_ticksPerBeat(ticksPerBeat), m_rate(rate), m_cycles(20000) {
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

    double quartersAt(double transportFrame) const {
        const double split = static_cast<double>(m_changeFrame);
        if (transportFrame < split)
            return transportFrame / m_rate * m_qpm / 60;
        return split / m_rate * m_qpm / 60 + (transportFrame - split) / m_rate * m_laterQpm / 60;
    }
    double tempoAt(double transportFrame) const {
        return transportFrame < static_cast<double>(m_changeFrame) ? m_qpm : m_laterQpm;
    }
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
        const auto* self = static_cast<const TimebaseMaster*>(data);
        const double frame = position->frame;
        const double q = self->quartersAt(frame);
        const auto beats = static_cast<int64_t>(std::floor(q));
        position->valid = static_cast<jack_position_bits_t>(JackPositionBBT | JackTickDouble);
        position->bar = static_cast<int32_t>(beats / self->m_beatsPerBar + 1);
        position->beat = static_cast<int32_t>(beats % self->m_beatsPerBar + 1);
        position->tick_double = (q - static_cast<double>(beats)) * self->m_ticksPerBeat;
        position->tick = static_cast<int32_t>(position->tick_double);
        position->ticks_per_beat = self->m_ticksPerBeat;
        position->beats_per_bar = static_cast<float>(self->m_beatsPerBar);
        position->beat_type = 4;
        position->bar_start_tick =
            static_cast<double>(position->bar - 1) * self->m_beatsPerBar * self->m_ticksPerBeat;
        position->beats_per_minute = self->tempoAt(frame);
    }

    double m_qpm;
    int64_t m_changeFrame;
    double m_laterQpm;
    int m_beatsPerBar;
    double m_ticksPerBeat;
    int m_rate;
    jack_client_t* m_client = nullptr;
    bool m_master = false;
    std::vector<Cycle> m_cycles;
    std::atomic<size_t> m_used{0};
};

} // namespace zumbal::test
