#include "base/endsignals.h"

#include <atomic>

namespace EndSignals {

namespace {

    std::atomic<int> counted { 0 };
    // A signal handler may touch only an atomic that takes no lock.
    static_assert(std::atomic<int>::is_always_lock_free);

} // namespace

void count()
{
    counted.fetch_add(1, std::memory_order_relaxed);
}

int seen()
{
    return counted.load(std::memory_order_relaxed);
}

} // namespace EndSignals
