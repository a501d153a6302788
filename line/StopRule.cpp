#include "line/StopRule.h"

namespace velt::line {

StopRule::StopRule(Clock& clock, Interrupts& interrupts, std::uint64_t timeoutMs)
    : clock_(clock),
      interrupts_(interrupts),
      timeoutMs_(timeoutMs),
      startMs_(clock.NowMs()),
      baseline_(interrupts.Count()) {}

StopRule::Decision StopRule::Check() {
    Decision decision;
    const int presses = interrupts_.Count() - baseline_;
    if (presses > handled_) {
        handled_ = presses;
        if (!transferring_) {
            // Nothing written yet: cancelling lets go of the device.
            decision.stop = CancelCause::Interrupt;
            decision.notice = Notice::Cancelling;
            return decision;
        }
        if (!deferred_) {
            deferred_ = true;
            decision.notice = Notice::Deferred;
        }
        if (presses >= 2 && !stopping_) {
            stopping_ = true;
            decision.notice = Notice::Stopping;
        }
    }
    if (stopping_) {
        decision.stop = CancelCause::Interrupt;
    } else if (!transferring_ && timeoutMs_ > 0 && clock_.NowMs() - startMs_ >= timeoutMs_) {
        decision.stop = CancelCause::Timeout;
    }
    return decision;
}

}  // namespace velt::line
