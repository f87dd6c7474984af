#pragma once

// Zumbal following a master of the bench's own on a private dummy JACK
// server, with what each cycle's status said.

#include "model/globali.h"
#include "playback/SoundSystem.h"
#include "support/DummyJack.h"
#include "support/JackMidiCapture.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace zumbal::bench {

// A bass drum on every stroke and nothing else.
inline void setKickLoop(globali& g) {
    setStartupLoop(g);
    setDefaultButtonStates(g);
    for (int track = 0; track < kTracks; ++track)
        for (int stroke = 1; stroke <= kStrokes; ++stroke)
            g.pp[cellIndex(track, stroke)] = track == 0 ? kHit : kRest;
}

// The kicks of a capture of midi_out, on the server's frames, or with
// `usecs` on its clock.
inline std::vector<int64_t> kicks(const std::vector<test::CapturedMidi>& events, int note,
                                  bool usecs = false) {
    std::vector<int64_t> out;
    for (const test::CapturedMidi& e : events)
        if (e.bytes[0] == 0x99 && e.bytes[1] == note && e.bytes[2] > 0)
            out.push_back(usecs ? e.usecs : e.frame);
    return out;
}

// A private dummy server at `rate` and `period`, and Zumbal's SoundSystem
// on it, MIDI only (no SoundFont), its ports left unconnected.
struct SyncRig {
    SyncRig(int rate, int period) : server(rate, test::DummyJack::uniqueName(), period) {
        setKickLoop(g);
        SoundOptions options;
        options.soundFont = "/nonexistent/none.sf2";
        options.drivers = {"jack"};
        options.connectPorts = false;
        options.seed = 1;
        sound = std::make_unique<SoundSystem>(g, options);
        if (server.ready())
            sound->startAudio();
    }
    bool ready() const { return server.ready() && sound->outputName() == "jack"; }
    uint64_t xruns() const { return sound->audioStats().serverXruns; }
    int kick() const { return g.edfiv[0][0]; }

    test::DummyJack server;
    globali g;
    std::unique_ptr<SoundSystem> sound;
};

// A client that runs after Zumbal in every cycle (fed from one of its
// ports) and notes what Zumbal's status says then, beside the transport's
// tempo and state in the same cycle.
class StatusProbe {
public:
    struct Cycle {
        int64_t frame = 0; // the cycle's first, on the server's count
        int64_t usecs = 0; // and when, on the server's clock
        sync::SyncState state = sync::SyncState::Alone;
        double quartersPerMinute = 0; // Zumbal's status
        double transportBpm = 0;      // 0: no timebase master's
        bool rolling = false;         // the transport's
    };

    StatusProbe(const sync::SyncStatus& status, size_t cycles)
        : m_status(status), m_cycles(cycles) {
        jack_status_t s{};
        m_client = jack_client_open("statusprobe", JackNoStartServer, &s);
        if (!m_client)
            return;
        m_in = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_client, &StatusProbe::process, this);
        jack_activate(m_client);
    }
    ~StatusProbe() {
        if (m_client)
            jack_client_close(m_client);
    }
    StatusProbe(const StatusProbe&) = delete;
    StatusProbe& operator=(const StatusProbe&) = delete;

    bool connectAfter(const char* port) {
        return m_client && jack_connect(m_client, port, jack_port_name(m_in)) == 0;
    }
    std::vector<Cycle> cycles() const {
        const size_t n = m_used.load(std::memory_order_acquire);
        return {m_cycles.begin(), m_cycles.begin() + static_cast<std::ptrdiff_t>(n)};
    }

private:
    static int process(jack_nframes_t, void* data) {
        auto* self = static_cast<StatusProbe*>(data);
        const size_t used = self->m_used.load(std::memory_order_relaxed);
        if (used == self->m_cycles.size())
            return 0;
        jack_position_t position;
        const jack_transport_state_t state = jack_transport_query(self->m_client, &position);
        Cycle& c = self->m_cycles[used];
        const jack_nframes_t frame = jack_last_frame_time(self->m_client);
        c.frame = frame;
        c.usecs = static_cast<int64_t>(jack_frames_to_time(self->m_client, frame));
        c.state = self->m_status.state();
        c.quartersPerMinute = self->m_status.quartersPerMinute();
        c.transportBpm = (position.valid & JackPositionBBT) && position.beat_type > 0
                             ? position.beats_per_minute * 4 / position.beat_type
                             : 0;
        c.rolling = state == JackTransportRolling;
        self->m_used.store(used + 1, std::memory_order_release);
        return 0;
    }

    const sync::SyncStatus& m_status;
    jack_client_t* m_client = nullptr;
    jack_port_t* m_in = nullptr;
    std::vector<Cycle> m_cycles;
    std::atomic<size_t> m_used{0};
};

} // namespace zumbal::bench
