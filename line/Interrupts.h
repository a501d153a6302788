#pragma once

#include <atomic>
#include <csignal>

namespace velt::line {

// Counts the user's Ctrl-C presses. The signal handler only bumps a sig_atomic_t; the
// update loops read the count between steps, several at once when devices are flashed side
// by side. Tests press Ctrl-C by calling Interrupt().
class Interrupts {
  public:
    Interrupts() = default;
    // Also counts the signals the handler has counted since now.
    explicit Interrupts(const volatile std::sig_atomic_t* signalCount);

    void Interrupt() { ++pressed_; }
    int Count() const;

  private:
    const volatile std::sig_atomic_t* signalCount_ = nullptr;
    std::sig_atomic_t baseline_ = 0;
    std::atomic<int> pressed_ = 0;
};

}  // namespace velt::line
