#pragma once

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace zumbal::test {

// Moves this process into a network namespace of its own, with no
// interface up, so that a Link peer here meets only the peers this process
// makes and none on the machine or the network: as root (what `unshare -n`
// does), else in a user namespace of its own where the kernel allows it.
// Before any thread starts.
inline bool enterPrivateNetwork() {
    return unshare(CLONE_NEWNET) == 0 || unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0;
}

// The namespace's loopback interface up (`ip link set lo up`) or down.
inline bool setLoopbackUp(bool up) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool done = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (done) {
        request.ifr_flags =
            static_cast<short>(up ? request.ifr_flags | IFF_UP : request.ifr_flags & ~IFF_UP);
        done = ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    close(fd);
    return done;
}

// The loopback interface up for a scope.
class LoopbackUp {
public:
    LoopbackUp() : m_up(setLoopbackUp(true)) {}
    ~LoopbackUp() { setLoopbackUp(false); }
    LoopbackUp(const LoopbackUp&) = delete;
    LoopbackUp& operator=(const LoopbackUp&) = delete;
    bool up() const { return m_up; }

private:
    bool m_up;
};

} // namespace zumbal::test
