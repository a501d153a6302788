#pragma once

namespace velt {

// How long a window program run unattended (by scripts and tests) leaves a message box up
// before answering it.
inline constexpr int kUnattendedMessageMs = 1500;

}  // namespace velt
