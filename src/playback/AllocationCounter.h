#pragma once

#include <cstdint>

namespace zumbal {

// Counts the calls of the malloc family (malloc, calloc, realloc, the aligned
// ones, free) that the audio thread makes, its libraries' included: the build
// puts its own malloc in front of glibc's. A build with AddressSanitizer,
// which owns malloc, counts nothing.
struct AllocationCounts {
    uint64_t allocations = 0; // calls that return memory, realloc included
    uint64_t frees = 0;       // calls of free with memory to free
};

bool allocationsCounted();
AllocationCounts audioThreadAllocations();

// Marks the calling thread as the audio thread while it lives: the audio
// callback, not an offline render on another thread.
class AudioThreadScope {
public:
    AudioThreadScope();
    ~AudioThreadScope();
    AudioThreadScope(const AudioThreadScope&) = delete;
    AudioThreadScope& operator=(const AudioThreadScope&) = delete;

private:
    bool m_outer;
};

} // namespace zumbal
