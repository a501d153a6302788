#include "platform/Clock.h"

#include <algorithm>
#include <chrono>

namespace velt {

namespace {
std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

SteadyClock::SteadyClock() : startNs_(SteadyNs()) {}

std::uint64_t SteadyClock::NowMs() const {
    return static_cast<std::uint64_t>((SteadyNs() - startNs_) / 1'000'000);
}

std::uint64_t VirtualClock::NowMs() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void VirtualClock::SleepMs(std::uint32_t milliseconds) {
    std::unique_lock lock(mutex_);
    if (threads_ == 0 || milliseconds == 0) {
        AdvanceLocked(milliseconds);
        return;
    }
    const std::uint64_t wakeUp = now_ + milliseconds;
    wakeUps_.insert(wakeUp);
    MoveOnWhenAllSleep();
    moved_.wait(lock, [&] { return now_ >= wakeUp; });
}

void VirtualClock::Advance(std::uint64_t milliseconds) {
    std::lock_guard lock(mutex_);
    AdvanceLocked(milliseconds);
}

void VirtualClock::AdvanceLocked(std::uint64_t milliseconds) {
    now_ += milliseconds;
    // Sleepers due by now wake, and no longer count as asleep.
    wakeUps_.erase(wakeUps_.begin(), wakeUps_.upper_bound(now_));
    moved_.notify_all();
}

void VirtualClock::ThreadStarted() {
    std::lock_guard lock(mutex_);
    ++threads_;
}

void VirtualClock::ThreadEnded() {
    std::lock_guard lock(mutex_);
    if (threads_ > 0) {
        --threads_;
    }
    MoveOnWhenAllSleep();
}

void VirtualClock::MoveOnWhenAllSleep() {
    // At least as many sleepers as started threads: a thread that sleeps without having been
    // announced must not stall the others.
    if (!wakeUps_.empty() && wakeUps_.size() >= threads_) {
        AdvanceLocked(*wakeUps_.begin() - now_);
    }
}

}  // namespace velt
