#pragma once

#include <cstdint>

namespace velt {

// Time as the logic and the simulated device see it: real for the programs, virtual in
// tests, so pauses and pacing can be checked without waiting.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::uint64_t NowMs() const = 0;
    virtual void SleepMs(std::uint32_t milliseconds) = 0;
};

class SteadyClock final : public Clock {
  public:
    SteadyClock();
    std::uint64_t NowMs() const override;
    void SleepMs(std::uint32_t milliseconds) override;

  private:
    std::int64_t startNs_;
};

// Sleeping advances the time at once.
class VirtualClock final : public Clock {
  public:
    std::uint64_t NowMs() const override { return now_; }
    void SleepMs(std::uint32_t milliseconds) override { now_ += milliseconds; }
    void Advance(std::uint64_t milliseconds) { now_ += milliseconds; }

  private:
    std::uint64_t now_ = 0;
};

}  // namespace velt
