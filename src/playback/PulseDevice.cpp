#include "playback/AudioDevice.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <time.h>

namespace zumbal {

namespace {

constexpr int kChannels = 2;
constexpr size_t kFrameBytes = kChannels * sizeof(float);
// Frames rendered per piece of a write request; the request is split into as
// many pieces as it needs.
constexpr int kChunk = 1024;

// The read position PipeWire's server gave in its last report, dated by the
// write request that came just after the graph cycle the report is of: the
// server sends both from its main loop, each request right after a cycle,
// so the last request to arrive before a report came from that report's
// cycle. Main loop only.
class PipeWireCycleReport {
public:
    // A write request came: a graph cycle has just run.
    void requested() { m_requestNs = monotonicNs(); }
    void reported(const pa_timing_info* info) {
        if (!info || m_requestNs == 0 || info->read_index_corrupt || !info->playing)
            return;
        m_readIndex = info->read_index;
        m_readHeardNs = m_requestNs + static_cast<int64_t>(info->sink_usec) * 1000;
    }
    // When the next frame written is heard; 0 before the first report.
    int64_t heardNs(pa_stream* s, int rate) const {
        const pa_timing_info* info = pa_stream_get_timing_info(s);
        if (m_readHeardNs == 0 || !info || info->write_index_corrupt)
            return 0;
        const int64_t held = (info->write_index - m_readIndex) / int64_t{kFrameBytes};
        return m_readHeardNs + held * 1'000'000'000 / rate;
    }

private:
    int64_t m_requestNs = 0, m_readHeardNs = 0, m_readIndex = 0;
};

// Our own stream on the PulseAudio API (PipeWire serves it too), with the
// buffer the user asked for always kept full: FluidSynth's driver keeps only
// one period in flight and underruns on an idle machine.
//
// The stream has no prebuffering, so after an underrun the server plays on
// and drops what we write late: the rendered timeline stays on the server's
// clock instead of shifting by the length of the gap.
class PulseDevice final : public AudioDevice {
public:
    PulseDevice(const DeviceOptions& options, AudioSource& source)
        : m_options(options), m_source(source) {}

    ~PulseDevice() override {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (m_stream) {
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
        }
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        pa_threaded_mainloop_unlock(m_loop);
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
    }

    bool open(std::string& error) {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop || pa_threaded_mainloop_start(m_loop) < 0) {
            error = "PulseAudio: cannot start its main loop";
            return false;
        }
        Lock lock(m_loop);
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Zumbal");
        pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "zumbal");
        pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "zumbal");
        m_context =
            pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Zumbal", props);
        pa_proplist_free(props);
        if (!m_context) {
            error = "PulseAudio: cannot make a context";
            return false;
        }
        pa_context_set_state_callback(m_context, &PulseDevice::contextState, this);
        // No autospawn: a missing server is the next output's turn, not ours to start.
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return fail(error);
        if (!waitUntilReady(m_context, pa_context_get_state, PA_CONTEXT_READY, PA_CONTEXT_IS_GOOD))
            return fail(error);
        // The server's own rate spares it a resampler.
        pa_operation* op = pa_context_get_server_info(m_context, &PulseDevice::serverInfo, this);
        if (op) {
            while (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
                pa_threaded_mainloop_wait(m_loop);
            pa_operation_unref(op);
        }
        // The server resamples a rate the synthesizer cannot play at.
        if (m_rate < kMinSampleRate || m_rate > kMaxSampleRate)
            m_rate = m_options.sampleRate;
        return true;
    }

    int sampleRate() const override { return m_rate; }

    bool start(std::string& error) override {
        Lock lock(m_loop);
        const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(m_rate), kChannels};
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
        m_stream = pa_stream_new_with_proplist(m_context, "Drum loop", &format, nullptr, props);
        pa_proplist_free(props);
        if (!m_stream)
            return fail(error);
        pa_stream_set_state_callback(m_stream, &PulseDevice::streamState, this);
        pa_stream_set_write_callback(m_stream, &PulseDevice::write, this);
        pa_stream_set_underflow_callback(m_stream, &PulseDevice::underflow, this);

        const auto bytes = [](double frames) {
            return static_cast<uint32_t>(std::max(1.0, frames)) *
                   static_cast<uint32_t>(kFrameBytes);
        };
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = bytes(m_options.latencyFrames(m_rate));
        attr.prebuf = 0;
        // The server keeps the target plus one request in flight (PipeWire
        // even rounds the request up to its quantum): asking in quarters of
        // the target keeps the latency near it.
        attr.minreq = bytes(std::min<double>(m_options.periodSize, attr.tlength / kFrameBytes / 4));
        attr.fragsize = static_cast<uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
        if (pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
            return fail(error);
        if (!waitUntilReady(m_stream, pa_stream_get_state, PA_STREAM_READY, PA_STREAM_IS_GOOD))
            return fail(error);
        if (const pa_buffer_attr* got = pa_stream_get_buffer_attr(m_stream)) {
            setPeriodSize(static_cast<int>(got->minreq / kFrameBytes));
            setLatency(static_cast<double>(got->tlength / kFrameBytes) * 1000.0 / m_rate);
        }
        return true;
    }

private:
    struct Lock {
        explicit Lock(pa_threaded_mainloop* loop) : m_loop(loop) {
            pa_threaded_mainloop_lock(m_loop);
        }
        ~Lock() { pa_threaded_mainloop_unlock(m_loop); }
        pa_threaded_mainloop* m_loop;
    };

    // Waits on the main loop until `object` is ready; false once it has failed.
    template <class Object, class State>
    bool waitUntilReady(Object* object, State (*stateOf)(const Object*), State ready,
                        int (*isGood)(State)) {
        for (State state; (state = stateOf(object)) != ready; pa_threaded_mainloop_wait(m_loop)) {
            if (!isGood(state))
                return false;
        }
        return true;
    }

    bool fail(std::string& error) {
        error = std::string("PulseAudio: ") + pa_strerror(pa_context_errno(m_context));
        return false;
    }

    static void contextState(pa_context* c, void* data) {
        auto* self = static_cast<PulseDevice*>(data);
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(c)))
            self->setFailed();
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }

    static void streamState(pa_stream* s, void* data) {
        auto* self = static_cast<PulseDevice*>(data);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s)))
            self->setFailed();
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }

    static void serverInfo(pa_context*, const pa_server_info* info, void* data) {
        auto* self = static_cast<PulseDevice*>(data);
        if (info && pa_sample_spec_valid(&info->sample_spec))
            self->m_rate = static_cast<int>(info->sample_spec.rate);
        self->m_onPipeWire =
            info && info->server_name &&
            std::string_view(info->server_name).find("PipeWire") != std::string_view::npos;
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }

    static void underflow(pa_stream*, void* data) {
        static_cast<PulseDevice*>(data)->countUnderrun();
    }

    // The main loop's thread asks for `bytes` more; it holds the loop's lock,
    // which nothing else takes while the stream runs.
    static void write(pa_stream* s, size_t bytes, void* data) {
        auto* self = static_cast<PulseDevice*>(data);
        if (!self->m_realtime) {
            requestRealtimePriority();
            self->m_realtime = true;
        }
        if (self->m_onPipeWire)
            self->askWhereTheCycleRead(s);
        const int64_t heard =
            self->m_onPipeWire ? self->m_cycleReport.heardNs(s, self->m_rate) : self->heardNs(s);
        self->m_source.heardAt(heard);
        if (heard != 0)
            self->setLatency(static_cast<double>(heard - monotonicNs()) / 1e6);
        while (bytes >= kFrameBytes) {
            void* buffer = nullptr;
            size_t size = std::min(bytes, kChunk * kFrameBytes);
            if (pa_stream_begin_write(s, &buffer, &size) < 0 || !buffer)
                return;
            const int frames = static_cast<int>(size / kFrameBytes);
            self->m_source.render(self->m_left.data(), self->m_right.data(), frames, nullptr);
            auto* out = static_cast<float*>(buffer);
            for (int i = 0; i < frames; ++i) {
                out[2 * i] = self->m_left[i];
                out[2 * i + 1] = self->m_right[i];
            }
            pa_stream_write(s, buffer, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
            bytes -= frames * kFrameBytes;
        }
    }

    // PipeWire's server answers a timing request with the read position and
    // delay of its last graph cycle, but dates the answer when it sends it,
    // up to a cycle later: each write request asks for the report of the
    // cycle that has just run, and its arrival dates the report.
    void askWhereTheCycleRead(pa_stream* s) {
        m_cycleReport.requested();
        if (pa_operation* op = pa_stream_update_timing_info(s, &PulseDevice::cycleReported, this))
            pa_operation_unref(op);
    }

    static void cycleReported(pa_stream* s, int success, void* data) {
        auto* self = static_cast<PulseDevice*>(data);
        if (success)
            self->m_cycleReport.reported(pa_stream_get_timing_info(s));
    }

    // When what is written now is heard: once the server has played what
    // the stream holds before it, counted from the server's last report of
    // where it reads (0 before the first). The interpolated latency is not
    // used: on PipeWire it drifts by tens of milliseconds between reports.
    int64_t heardNs(pa_stream* s) const {
        const pa_timing_info* info = pa_stream_get_timing_info(s);
        if (!info || info->write_index_corrupt || info->read_index_corrupt || !info->playing ||
            info->read_index <= 0)
            return 0;
        timespec realtime{};
        clock_gettime(CLOCK_REALTIME, &realtime);
        const int64_t reportedNs = static_cast<int64_t>(info->timestamp.tv_sec) * 1'000'000'000 +
                                   static_cast<int64_t>(info->timestamp.tv_usec) * 1000;
        const int64_t ageNs =
            static_cast<int64_t>(realtime.tv_sec) * 1'000'000'000 + realtime.tv_nsec - reportedNs;
        const int64_t held = (info->write_index - info->read_index) / int64_t{kFrameBytes};
        return monotonicNs() - ageNs + static_cast<int64_t>(info->sink_usec) * 1000 +
               held * 1'000'000'000 / m_rate;
    }

    DeviceOptions m_options;
    AudioSource& m_source;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    int m_rate = 0;
    bool m_onPipeWire = false;
    PipeWireCycleReport m_cycleReport;
    bool m_realtime = false;
    std::array<float, kChunk> m_left{}, m_right{};
};

} // namespace

std::unique_ptr<AudioDevice> openPulseDevice(const DeviceOptions& options, AudioSource& source,
                                             std::string& error) {
    return openedOrNull(std::make_unique<PulseDevice>(options, source), error);
}

} // namespace zumbal
