#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/DeviceError.h"
#include "device/Discovery.h"
#include "device/HidDevice.h"
#include "device/OpenDevice.h"
#include "line/FlashRecord.h"
#include "platform/Clock.h"
#include "update/FirmwareImage.h"
#include "update/Outcome.h"
#include "update/UpdateListener.h"

namespace velt::line {

// How a device is named in a log, a record and JSON: where it is plugged in.
std::string PlaceOf(const HidInterfaceInfo& info);
// Where the system tells no location (wine's HID stack), a device is known by its serial
// number, which stays the same while its path changes with every re-enumeration.
std::string KeyOf(const HidInterfaceInfo& info, const std::optional<std::string>& serial);
// Why a device could not be opened, in a few words.
std::string OpenErrorText(DeviceErrorKind error);

// One device as a flash found it and what came of it: the same for a single device and for
// each of several side by side.
struct FlashedDevice {
    HidInterfaceInfo info;
    std::optional<std::string> serial;
    std::optional<std::uint16_t> versionBefore;  // as it said when it was opened
    std::uint64_t startMs = 0;
    std::uint64_t endMs = 0;
    UpdateResult result;
};

// Updates the open `velt` with the checked image, its reports going to `listener`; followed
// by `following` while it comes back in its bootloader. Sets the device's version before,
// result and end time.
void UpdateDevice(HidBackend& backend, Clock& clock, const ImageLoad& image, OpenDevice& velt,
                  DeviceFilter following, UpdateListener& listener, FlashedDevice& device);

// What one device's update tells as it goes, made by the line's listener as the device
// starts. Called on the device's own thread.
class RunReports {
  public:
    virtual ~RunReports() = default;
    // The device is open: the listener its update reports to and asks whether to go on.
    virtual UpdateListener& Opened(const OpenDevice& velt) = 0;
    // Its end could not be written to the record: `message` names the record, the device
    // and why.
    virtual void RecordFailed(const std::string& message) = 0;
    // Its end, once the record has it or could not take it.
    virtual void Ended(const Outcome& outcome) = 0;
};

struct DeviceRun;

// What a line of devices tells its front end besides each device's update. Called on the
// thread that starts the devices and watches for them.
class LineListener {
  public:
    virtual ~LineListener() = default;
    // A device's update is about to start: where its reports go.
    virtual std::unique_ptr<RunReports> Starting(const DeviceRun& run) = 0;
    // Something for the person at the line; `problem` for what needs their attention.
    virtual void Message(const std::string& text, bool problem) = 0;

    // A watch's (line/Watch.h). A Velt-USB appeared at the place `key` (KeyOf).
    virtual void Seen(const std::string& /*key*/, const HidInterfaceInfo& /*info*/) {}
    // The device at `key` left; its update, if one runs, follows it.
    virtual void Gone(const std::string& /*key*/) {}
    // A device's update ended and its thread was joined.
    virtual void Reaped(const DeviceRun& /*run*/) {}
    // The device at `key` has this image already: flashed by this watch, or as the record
    // says (`recorded`). It is left alone until it leaves.
    virtual void AlreadyDone(const std::string& /*key*/, const HidInterfaceInfo& /*info*/,
                             const std::optional<std::string>& /*serial*/, bool /*recorded*/) {}
    // Asked before each look of a watch that runs on its own: false ends it.
    virtual bool GoOn() { return true; }
};

// One device's update, on a thread of its own.
struct DeviceRun : FlashedDevice {
    std::string key;          // KeyOf its place
    std::string problem;      // why it was never updated: gone, cannot be opened
    bool unrecorded = false;  // its end could not be written to the record
    std::atomic<bool> finished = false;
    std::unique_ptr<RunReports> reports;
    std::thread thread;

    // The table's outcome; a device never updated is a failure for want of a device.
    Outcome outcome() const;
};

// The devices being flashed and flashed so far, one thread each; each device's end goes to
// the record (when there is one) before its result is told.
class ProductionLine {
  public:
    // `image` holds the checked image; `recorder` may be null.
    ProductionLine(HidBackend& backend, Clock& clock, const ImageLoad& image,
                   FlashRecorder* recorder, LineListener& listener);
    ~ProductionLine() { JoinAll(); }

    // Opens the device at the place of `info` and updates it on a thread of its own.
    void Start(const HidInterfaceInfo& info, std::optional<std::string> serial);
    // The runs that have finished since the last call, joined.
    std::vector<const DeviceRun*> Reap();
    bool Running() const;
    void JoinAll();
    // Every run so far, in the order started.
    const std::list<DeviceRun>& runs() const { return runs_; }
    // An end could not be written to the record: no device may start from now on.
    bool Unrecorded() const { return recorder_ != nullptr && recorder_->Failed(); }
    FlashRecorder* recorder() const { return recorder_; }
    HidBackend& backend() const { return backend_; }
    Clock& clock() const { return clock_; }

  private:
    void Run(DeviceRun& run);

    HidBackend& backend_;
    Clock& clock_;
    const ImageLoad& image_;
    FlashRecorder* recorder_;
    LineListener& listener_;
    std::list<DeviceRun> runs_;  // stable addresses: each thread holds its own
};

}  // namespace velt::line
