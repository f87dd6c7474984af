#pragma once

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

extern char** environ;

namespace zumbal::test {

// A private JACK server on the dummy driver (no sound card needed), under a
// name of its own that this process's clients use through
// JACK_DEFAULT_SERVER. Stopped when it goes out of scope.
class DummyJack {
public:
    static std::string uniqueName() {
        static int count = 0;
        return "zumbal-test-" + std::to_string(getpid()) + "-" + std::to_string(++count);
    }

    explicit DummyJack(int rate, std::string name = uniqueName(), int period = 256)
        : m_name(std::move(name)) {
        // A bench run under pw-jack measures on PipeWire's graph instead,
        // which then decides the rate and period.
        if (std::getenv("ZUMBAL_RUNNING_JACK")) {
            m_ready = true;
            return;
        }
        setenv("JACK_DEFAULT_SERVER", m_name.c_str(), 1);
        const std::string rateArg = std::to_string(rate), periodArg = std::to_string(period);
        const char* argv[] = {"jackd",         "-n", m_name.c_str(),    "-d",   "dummy", "-r",
                              rateArg.c_str(), "-p", periodArg.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&m_pid, "jackd", &actions, nullptr, const_cast<char**>(argv), environ) !=
            0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        m_ready = m_pid > 0 && waitUntilUp();
    }
    ~DummyJack() { stop(); }
    DummyJack(const DummyJack&) = delete;
    DummyJack& operator=(const DummyJack&) = delete;

    bool ready() const { return m_ready; }
    const std::string& name() const { return m_name; }

    void stop() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    bool waitUntilUp() {
        for (int i = 0; i < 100; ++i) {
            jack_status_t status{};
            if (jack_client_t* probe = jack_client_open("probe", JackNoStartServer, &status)) {
                jack_client_close(probe);
                return true;
            }
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string m_name;
    pid_t m_pid = -1;
    bool m_ready = false;
};

} // namespace zumbal::test
