#include "playback/AudioDevice.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>

namespace zumbal {

int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void requestRealtimePriority() {
    // Below JACK's own threads (which default to 70 and above), above everything
    // that is not audio.
    sched_param param{};
    param.sched_priority = std::min(20, sched_get_priority_max(SCHED_FIFO));
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

} // namespace zumbal
