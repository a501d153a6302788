#pragma once

#include <cstdint>
#include <functional>
#include <map>

namespace velt {

// Actions a window runs once, each after its own delay, by its WM_TIMER: each is kept
// under the timer identifier the window sets for it. Identifiers count up from 1, so that a
// window's own timer can take one they never reach.
class DelayedActions {
  public:
    std::uintptr_t Add(std::function<void()> action);
    // Takes out the action of timer `id` and runs it; false when `id` is not one of these.
    bool Run(std::uintptr_t id);

  private:
    std::map<std::uintptr_t, std::function<void()>> actions_;
    std::uintptr_t next_ = 1;
};

}  // namespace velt
