#include "playback/AlsaMidiInput.h"

#include "playback/AudioDevice.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <thread>
#include <vector>

namespace zumbal {

namespace {

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

class AlsaSequencerInput final : public AlsaMidiInput {
public:
    explicit AlsaSequencerInput(sync::TimedMidiQueue* timed) : m_timed(timed) {}
    ~AlsaSequencerInput() override {
        if (m_thread.joinable()) {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(m_stop, &one, sizeof one);
            m_thread.join();
        }
        if (m_decoder)
            snd_midi_event_free(m_decoder);
        if (m_seq)
            snd_seq_close(m_seq);
        if (m_stop >= 0)
            ::close(m_stop);
    }

    bool open(std::string& error) {
        snd_lib_error_set_handler(quietAlsa);
        if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_INPUT, 0) < 0) {
            m_seq = nullptr;
            error = "ALSA: no sequencer";
            return false;
        }
        snd_seq_set_client_name(m_seq, "Zumbal");
        if (snd_seq_create_simple_port(
                m_seq, "midi_in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION) < 0 ||
            snd_midi_event_new(16, &m_decoder) < 0) {
            error = "ALSA: cannot make the sequencer port";
            return false;
        }
        snd_midi_event_no_status(m_decoder, 1); // every message whole, no running status
        m_stop = eventfd(0, EFD_CLOEXEC);
        if (m_stop < 0) {
            error = "ALSA: cannot make the input thread's wake-up";
            return false;
        }
        m_thread = std::thread([this] { run(); });
        return true;
    }

private:
    void run() {
        const int count = snd_seq_poll_descriptors_count(m_seq, POLLIN);
        std::vector<pollfd> fds(static_cast<size_t>(count) + 1);
        snd_seq_poll_descriptors(m_seq, fds.data(), static_cast<unsigned>(count), POLLIN);
        fds.back() = {m_stop, POLLIN, 0};
        for (;;) {
            if (::poll(fds.data(), fds.size(), -1) < 0)
                continue;
            if (fds.back().revents & POLLIN)
                return;
            snd_seq_event_t* event = nullptr;
            while (snd_seq_event_input(m_seq, &event) >= 0 && event) {
                std::array<unsigned char, 16> bytes{};
                const long size = snd_midi_event_decode(m_decoder, bytes.data(),
                                                        static_cast<long>(bytes.size()), event);
                if (size > 0) {
                    m_queue.push(bytes.data(), static_cast<size_t>(size));
                    // Stamped as it comes, for the MIDI clock follower.
                    if (m_timed)
                        m_timed->push(bytes.data(), static_cast<size_t>(size), monotonicNs());
                }
                if (snd_seq_event_input_pending(m_seq, 0) <= 0)
                    break;
            }
        }
    }

    sync::TimedMidiQueue* m_timed;
    snd_seq_t* m_seq = nullptr;
    snd_midi_event_t* m_decoder = nullptr;
    int m_stop = -1;
    std::thread m_thread;
};

} // namespace

std::unique_ptr<AlsaMidiInput> AlsaMidiInput::open(std::string& error,
                                                   sync::TimedMidiQueue* timed) {
    auto input = std::make_unique<AlsaSequencerInput>(timed);
    if (!input->open(error))
        return nullptr;
    return input;
}

} // namespace zumbal
