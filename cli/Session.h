#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "cli/Options.h"
#include "cli/Program.h"
#include "device/DeviceMonitor.h"
#include "device/HidDevice.h"
#include "line/FlashRecord.h"
#include "line/Interrupts.h"
#include "platform/Clock.h"
#include "update/FirmwareImage.h"
#include "update/UpdateListener.h"

namespace velt::cli {

using line::FlashRecorder;
using line::Interrupts;

// What one command works with.
struct Session {
    HidBackend& backend;
    Clock& clock;
    const CliStreams& io;
    // Where text for people goes: standard output, or nowhere when it carries JSON.
    std::ostream& out;
    Interrupts& interrupts;
    bool terminalIn;
    bool terminalOut;
    // Tells when devices come and go; null where the platform cannot.
    DeviceMonitor* monitor = nullptr;
    // With --json, called once just before the last object (the result, or the summary of
    // several devices), with the outcome of the one update; may be empty.
    std::function<void(UpdateOutcome)> beforeLast = {};
    // Keeps each device's end with --record; null without.
    FlashRecorder* recorder = nullptr;
};

// Tries `found` now and, while `waitMs` allows (absent: not at all; 0: without limit), again
// every 100 ms. Returns nullopt once it is true, else the exit status: kExitNoDevice when
// the time is up, kExitInterrupted after Ctrl-C (said on the error stream).
std::optional<int> WaitForDevice(Session& session, const std::optional<std::uint64_t>& waitMs,
                                 const std::function<bool()>& found);

// Whether the flash may start: "Flash IMAGE (N records) to `devices`?" asked on a terminal
// unless --yes (scripts and programs reading JSON run without one and are not asked). On a
// no, says "Not flashed.".
bool ConfirmFlash(Session& session, const FlashOptions& options, const FirmwareImage& image,
                  const std::string& devices);

}  // namespace velt::cli
