#include "playback/AllocationCounter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

namespace zumbal {

namespace {

// Initial-exec TLS: reading it never allocates, so malloc itself may read it.
__attribute__((tls_model("initial-exec"))) thread_local bool t_audioThread = false;
std::atomic<uint64_t> g_allocations{0}, g_frees{0};

[[maybe_unused]] inline void counted(std::atomic<uint64_t>& count) {
    if (t_audioThread) [[unlikely]]
        count.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

AllocationCounts audioThreadAllocations() {
    return {g_allocations.load(std::memory_order_relaxed), g_frees.load(std::memory_order_relaxed)};
}

AudioThreadScope::AudioThreadScope() : m_outer(t_audioThread) {
    t_audioThread = true;
}

AudioThreadScope::~AudioThreadScope() {
    t_audioThread = m_outer;
}

#ifndef ZUMBAL_COUNT_ALLOCATIONS

bool allocationsCounted() {
    return false;
}

} // namespace zumbal

#else

bool allocationsCounted() {
    return true;
}

} // namespace zumbal

// glibc's own allocator under the names it exports for wrappers like this
// one. These are the calls the program's libraries import (libgomp's team is a
// memalign); valloc, pvalloc and reallocarray, which none of them imports,
// stay glibc's.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);
void* __libc_memalign(size_t alignment, size_t size);

using zumbal::counted;
using zumbal::g_allocations;
using zumbal::g_frees;

void* malloc(size_t size) noexcept {
    counted(g_allocations);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept {
    counted(g_allocations);
    return __libc_calloc(count, size);
}

void* realloc(void* p, size_t size) noexcept {
    counted(g_allocations);
    return __libc_realloc(p, size);
}

void free(void* p) noexcept {
    if (p)
        counted(g_frees);
    __libc_free(p);
}

void* memalign(size_t alignment, size_t size) noexcept {
    counted(g_allocations);
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    counted(g_allocations);
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    if (alignment == 0 || alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    counted(g_allocations);
    void* p = __libc_memalign(alignment, size);
    if (!p)
        return ENOMEM;
    *out = p;
    return 0;
}
}

#endif
