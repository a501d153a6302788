#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Clock.h"
#include "HidPlatform.h"

namespace velt::sim {

// A HID interface as it is plugged in.
struct DeviceModel {
    std::uint16_t vendorId = 0x1209;
    std::uint16_t productId = applicationProductId;
    std::uint16_t version = 0x0102;
    // UTF-8; an absent string makes its query fail.
    std::optional<std::string> manufacturer = "Velt Instruments";
    std::optional<std::string> product = "Velt-USB";
    std::optional<std::string> serial = "VU-000123";
    // Length of a feature report including the report ID byte; 0: no feature report.
    std::uint16_t featureReportLength = 41;
    // Top-level collection, as the capability query reports it.
    std::uint16_t usagePage = 0xFF00;
    std::uint16_t usage = 0x0001;
};

// Calls that fail on purpose.
struct FailureInjection {
    bool open = false;        // every synchronous open fails
    bool secondOpen = false;  // every overlapped open fails
    OpenError openError = OpenError::Other;
    bool attributes = false;
    bool caps = false;
    bool manufacturer = false;
    bool product = false;
    bool serial = false;
};

// What the Velt-USB firmware does with the reports it receives.
struct VeltBehaviour {
    // After the mode switch: time until it leaves the bus, then until it is back as a
    // bootloader-mode device (product ID 0xB038) under a new path.
    std::uint32_t detachMs = 50;
    std::uint32_t reenumerateMs = 500;
    bool ignoreSwitch = false;
    // 1-based number of the data report (in bootloader mode) to refuse; 0: none.
    int refuseRecord = 0;
    // Leave the bus for good after accepting this many data reports; 0: never.
    int vanishAfter = 0;
    // The identity it shows in bootloader mode (its product ID is ignored); unset: the
    // same as in application mode apart from the product ID.
    std::optional<DeviceModel> bootloaderIdentity = std::nullopt;
};

// One feature report as the device saw it.
struct ReportRecord {
    std::uint64_t timeMs = 0;
    std::uint16_t productId = 0;      // the device's mode when it arrived
    std::vector<std::uint8_t> bytes;  // what the kernel passes on: report ID removed
    std::size_t length = 0;           // the length as sent, report ID included
    bool accepted = false;
};

// The Velt-USB on the simulated bus, across its re-enumerations.
class SimulatedVelt {
  public:
    virtual ~SimulatedVelt() = default;
    // These bring the device up to the clock's time first, like the platform calls.
    virtual bool present() const = 0;
    virtual std::uint16_t productId() const = 0;
    // The current path, or the last one while the device is off the bus.
    virtual std::string path() const = 0;
    virtual const std::vector<ReportRecord>& reports() const = 0;
    virtual int modeSwitches() const = 0;
    // The 40-byte payloads of the data reports accepted in bootloader mode, in order.
    virtual const std::vector<std::array<std::uint8_t, 40>>& records() const = 0;
    // "mode-switches=<n> records=<n> bytes=<n> sha256=<hex>" over records().
    virtual std::string Summary() const = 0;
};

// One call the tool made to the platform, for checking order and arguments in tests.
// timeMs is the clock at the start of the call. The texts:
//   "List"
//   "Open <path>", "Open <path> overlapped"
//   "PeekProductId <path>"
//   "Close <path>"
//   "GetAttributes <path>", "GetCaps <path>"
//   "GetString Manufacturer|Product|SerialNumber <path>"
//   "SetFeature <path> <length>"       (length as passed, report ID included)
//   "Sleep <ms>"
// <path> is the path the handle was opened on; a handle the bus never handed out, or
// one already closed, shows as "#<handle>" instead.
struct CallRecord {
    std::uint64_t timeMs = 0;
    std::string text;
};

// An in-process bus of HID interfaces that implements the platform interface. Time
// comes from the clock: a virtual one in tests, a real one in the demo. Interfaces get
// the paths "/sim/hidraw<N>", N counting up from 0 with every plugging and never reused.
// Handles are positive and never reused; a handle stops working when its device leaves
// the bus (even if the device comes back) but still counts as open until closed.
class SimulatedBus final : public HidPlatform {
  public:
    explicit SimulatedBus(Clock& clock);
    ~SimulatedBus() override;

    // Plugs in an interface that is not a Velt-USB (a keyboard, say); returns its path.
    std::string AddDevice(const DeviceModel& model, const FailureInjection& failures = {});
    // Plugs in the Velt-USB; the bus owns it.
    SimulatedVelt& AddVelt(const DeviceModel& model, const VeltBehaviour& behaviour = {},
                           const FailureInjection& failures = {});
    // Unplugs the interface at path; its handles become invalid. A pending re-enumeration
    // of the Velt-USB is cancelled. Nothing happens for an absent path.
    void Unplug(const std::string& path);
    // Plugs a Velt-USB back in after Unplug (or after it vanished), under a new path and in
    // the mode it was in. Nothing happens while it is present.
    void Replug(SimulatedVelt& velt);
    // Changes the failures of a present interface. The Velt-USB keeps them across its
    // re-enumerations.
    void SetFailures(const std::string& path, const FailureInjection& failures);

    // Called after each feature report reaches the Velt-USB (the Qt test samples the window).
    void SetReportHook(std::function<void(const ReportRecord&)> hook);

    const std::vector<CallRecord>& calls() const;
    void ClearCalls();
    // Handles currently open; closes of handles that were not open.
    std::size_t openHandleCount() const;
    int invalidCloses() const;
    // How often opening the path was tried, by either kind of open, successful or not.
    int openCount(const std::string& path) const;
    // The present paths in ascending N, without recording a call.
    std::vector<std::string> presentPaths() const;

    // HidPlatform
    std::unique_ptr<HidInterfaceList> ListInterfaces() override;
    HidHandle Open(const std::string& path, bool overlapped) override;
    OpenError LastOpenError() const override;
    bool PeekProductId(const std::string& path, std::uint16_t& productId) override;
    bool Close(HidHandle handle) override;
    bool GetAttributes(HidHandle handle, HiddAttributes& attributes) override;
    bool GetCaps(HidHandle handle, HidpCaps& caps) override;
    bool GetString(HidHandle handle, HidString which, std::uint8_t* buffer,
                   std::size_t byteLength) override;
    bool SetFeature(HidHandle handle, const std::uint8_t* report, std::size_t length) override;
    void Sleep(std::uint32_t milliseconds) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velt::sim
