#include "playback/AudioDevice.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>

namespace zumbal {

void requestRealtimePriority() {
    // Below JACK's own threads (which default to 70 and above), above everything
    // that is not audio.
    sched_param param{};
    param.sched_priority = std::min(20, sched_get_priority_max(SCHED_FIFO));
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

} // namespace zumbal
