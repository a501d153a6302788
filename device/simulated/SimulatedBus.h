#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/DeviceError.h"
#include "device/HidDevice.h"
#include "device/VeltProtocol.h"
#include "platform/Clock.h"

namespace velt::sim {

// A HID interface as it is plugged in.
struct DeviceModel {
    std::uint16_t vendorId = 0x1209;
    std::uint16_t productId = protocol::applicationProductId;
    std::uint16_t version = 0x0102;
    // UTF-8; an absent string makes its query throw NotSupported.
    std::optional<std::string> manufacturer = "Velt Instruments";
    std::optional<std::string> product = "Velt-USB";
    std::optional<std::string> serial = "VU-000123";
    // Length of a feature report including the report ID byte; 0: no feature report.
    std::uint16_t featureReportLength = 41;
    // Where it is plugged in; empty: the next free port, "1-1", "1-2", ... in plugging order.
    std::string location = {};
};

// Calls that fail on purpose.
struct FailureInjection {
    std::optional<DeviceErrorKind> open = std::nullopt;  // every open throws this kind
    bool featureLength = false;                          // FeatureReportLength() throws Io
    bool manufacturer = false;                           // these string queries throw stringError
    bool product = false;
    bool serial = false;
    DeviceErrorKind stringError = DeviceErrorKind::Io;
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
    // The identity it shows in bootloader mode (its product ID and location are ignored);
    // unset: the same as in application mode apart from the product ID.
    std::optional<DeviceModel> bootloaderIdentity = std::nullopt;
    // In bootloader mode, once it has accepted a data record and no report has come for this
    // long, it leaves the bus and is back reenumerateMs later running its new firmware: the
    // application-mode product ID and identity it was plugged in with; 0: never.
    std::uint32_t rebootAfterMs = 0;
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
    // These bring the device up to the clock's time first, like the backend calls.
    virtual bool present() const = 0;
    virtual std::uint16_t productId() const = 0;
    // The current path, or the last one while the device is off the bus.
    virtual std::string path() const = 0;
    // Where it is plugged in: the same across its re-enumerations and Replug.
    virtual std::string location() const = 0;
    // These three are safe to read only while no other thread sends to the device.
    virtual const std::vector<ReportRecord>& reports() const = 0;
    virtual int modeSwitches() const = 0;
    // What it stored: the payloads of the data reports it accepted in bootloader mode, end
    // to end.
    virtual const std::vector<std::uint8_t>& firmware() const = 0;
    std::size_t records() const { return firmware().size() / protocol::recordSize; }
    // "mode-switches=<n> records=<n> bytes=<n> sha256=<hex>" over firmware().
    virtual std::string Summary() const = 0;
};

// One call the tool made to the backend or a device, for checking order and arguments in
// tests. timeMs is the clock at the start of the call. The texts:
//   "List"
//   "Open <path>"
//   "Close <path>"                     (a device object destroyed)
//   "FeatureReportLength <path>"
//   "GetString Manufacturer|Product|SerialNumber <path>"
//   "SendFeatureReport <path> <length>"  (length as passed, report ID included)
// <path> is the path the device object was opened on.
struct CallRecord {
    std::uint64_t timeMs = 0;
    std::string text;
};

// An in-process bus of HID interfaces. Time comes from the clock: a virtual one in tests,
// a real one in the demo; the bus catches up with it on every call. Interfaces get the
// paths "sim:hid<N>", N counting up from 0 with every plugging and never reused.
// A device object stops working (every call throws Disconnected) once its device leaves
// the bus, even if the device comes back; it may still be destroyed at any time, also
// after the bus. The clock must outlive the bus and its device objects.
// The bus and its device objects may be called from several threads at once.
class SimulatedBus final : public HidBackend {
  public:
    explicit SimulatedBus(Clock& clock);
    ~SimulatedBus() override;

    // Plugs in an interface that is not a Velt-USB (a keyboard, say); returns its path.
    std::string AddDevice(const DeviceModel& model, const FailureInjection& failures = {});
    // Plugs in the Velt-USB; the bus owns it.
    SimulatedVelt& AddVelt(const DeviceModel& model, const VeltBehaviour& behaviour = {},
                           const FailureInjection& failures = {});
    // The Velt-USB appears when the clock reaches timeMs; its location is known at once.
    SimulatedVelt& PlugVeltAt(std::uint64_t timeMs, const DeviceModel& model,
                              const VeltBehaviour& behaviour = {},
                              const FailureInjection& failures = {});
    // Unplugs the interface at path. A pending re-enumeration of the Velt-USB is
    // cancelled. Nothing happens for an absent path.
    void Unplug(const std::string& path);
    // Plugs a Velt-USB back in after Unplug (or after it vanished), under a new path and in
    // the mode it was in. Nothing happens while it is present.
    void Replug(SimulatedVelt& simulated);
    // Changes the failures of a present interface. The Velt-USB keeps them across its
    // re-enumerations.
    void SetFailures(const std::string& path, const FailureInjection& failures);

    // Called after each feature report reaches the Velt-USB (the Qt test samples the window),
    // on the sending thread, with the bus free to be called.
    void SetReportHook(std::function<void(const ReportRecord&)> hook);

    // How many times an interface was plugged in or removed so far.
    std::uint64_t changes() const;
    // Safe to read only while no other thread calls the bus.
    const std::vector<CallRecord>& calls() const;
    void ClearCalls();
    // Device objects not yet destroyed.
    std::size_t openDeviceCount() const;
    // How often opening the path was tried, successful or not.
    int openCount(const std::string& path) const;
    // The present paths in ascending N, without recording a call.
    std::vector<std::string> presentPaths() const;

    // HidBackend
    std::vector<HidInterfaceInfo> ListInterfaces() override;
    // Throws Disconnected for an absent path, or the kind FailureInjection::open names.
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

  private:
    struct Impl;
    std::shared_ptr<Impl> impl_;  // shared with the device objects
};

}  // namespace velt::sim
