#include "app/QuitOnSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

namespace zumbal {

namespace {

// A signal handler can only reach the program through something global: it
// writes one byte into this socket pair, and the GUI thread reads it.
std::array<int, 2> g_wake{-1, -1};
constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_wake[0], &byte, 1);
}

} // namespace

QuitOnSignals::QuitOnSignals(std::function<void()> quit, QObject* parent)
    : QObject(parent), m_quit(std::move(quit)) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_wake.data()) != 0)
        return;
    m_notifier = new QSocketNotifier(g_wake[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (read(g_wake[1], bytes, sizeof bytes) > 0) {
        }
        m_quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

QuitOnSignals::~QuitOnSignals() {
    for (int signal : kSignals)
        ::signal(signal, SIG_DFL);
    for (int& fd : g_wake) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

} // namespace zumbal
