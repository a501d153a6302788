#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

namespace velt {

// Time as the logic and the simulated device see it: real for the programs, virtual in
// tests, so pauses and pacing can be checked without waiting.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::uint64_t NowMs() const = 0;
    virtual void SleepMs(std::uint32_t milliseconds) = 0;

    // Threads that sleep side by side on one clock: the thread that starts another calls
    // ThreadStarted() before starting it, and the started thread calls ThreadEnded() last.
    // A real clock ignores both; a virtual clock then moves on only once every started
    // thread sleeps, to the earliest wake-up, so each thread's pauses are exact. A thread that
    // starts several counts itself while it does (ThreadStarted() first, ThreadEnded() once
    // all are started), or the first could sleep, and the clock move, before the next exists.
    virtual void ThreadStarted() {}
    virtual void ThreadEnded() {}
};

class SteadyClock final : public Clock {
  public:
    SteadyClock();
    std::uint64_t NowMs() const override;
    void SleepMs(std::uint32_t milliseconds) override;

  private:
    std::int64_t startNs_;
};

// Virtual time. With no started threads, sleeping advances the time at once. With started
// threads, a sleeper waits until every started thread sleeps (or has ended); the time then
// moves to the earliest wake-up and wakes those due. Every member is thread-safe.
class VirtualClock final : public Clock {
  public:
    std::uint64_t NowMs() const override;
    void SleepMs(std::uint32_t milliseconds) override;
    void Advance(std::uint64_t milliseconds);
    void ThreadStarted() override;
    void ThreadEnded() override;

  private:
    // With mutex_ held.
    void AdvanceLocked(std::uint64_t milliseconds);
    void MoveOnWhenAllSleep();

    mutable std::mutex mutex_;
    std::condition_variable moved_;
    std::uint64_t now_ = 0;
    std::size_t threads_ = 0;
    std::multiset<std::uint64_t> wakeUps_;  // of the threads asleep, not yet due
};

}  // namespace velt
