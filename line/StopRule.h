#pragma once

#include <cstdint>
#include <optional>

#include "line/Interrupts.h"
#include "platform/Clock.h"
#include "update/UpdateListener.h"

namespace velt::line {

// When one device's update is to end early: Ctrl-C cancels it until records flow; then the
// transfer finishes so that the device is not left half-written, unless Ctrl-C is pressed
// again. The wait for the bootloader is bounded by the timeout. Each device of a run keeps
// its own rule, so a Ctrl-C treats each as it finds it.
class StopRule {
  public:
    // What a check found out, for the front end to say once.
    enum class Notice { None, Cancelling, Deferred, Stopping };
    struct Decision {
        std::optional<CancelCause> stop;
        Notice notice = Notice::None;
    };

    // `timeoutMs` bounds the time until the first data report; 0: none.
    StopRule(Clock& clock, Interrupts& interrupts, std::uint64_t timeoutMs);

    void TransferStarted() { transferring_ = true; }
    bool transferring() const { return transferring_; }
    Decision Check();

  private:
    Clock& clock_;
    Interrupts& interrupts_;
    std::uint64_t timeoutMs_;
    std::uint64_t startMs_;
    int baseline_;
    int handled_ = 0;
    bool transferring_ = false;
    bool deferred_ = false;
    bool stopping_ = false;
};

}  // namespace velt::line
