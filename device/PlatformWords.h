#pragma once

namespace velt {

// What a person can do when the system will not let this user open a Velt-USB, and what
// the real devices are called, in the words true on the platform the program was built
// for. Each backend folder defines them, so the window and the terminal share one text.

// A clause for the terminal's "hint:" line.
const char* PermissionHint();
// Sentences for the window's Permission Error box, below what happened.
const char* PermissionAdvice();
// What --simulate stands in for.
const char* PlatformDevicesName();

}  // namespace velt
