#include "device/simulated/SimulatedBus.h"

#include <algorithm>
#include <limits>
#include <map>
#include <span>
#include <utility>

#include "device/IdentityText.h"
#include "device/Sha256.h"

namespace velt::sim {

namespace {

// A data report carries the report ID and one record.
constexpr std::size_t kDataReportLength = protocol::recordSize + 1;

std::string PathOf(std::uint64_t n) {
    return "/sim/hidraw" + std::to_string(n);
}

// The command, then nothing but zeros.
bool IsModeSwitch(const std::vector<std::uint8_t>& payload) {
    const auto& command = protocol::modeSwitchCommand;
    return payload.size() >= command.size() &&
           std::equal(command.begin(), command.end(), payload.begin()) &&
           std::all_of(payload.begin() + command.size(), payload.end(),
                       [](std::uint8_t b) { return b == 0; });
}

// No system call lies behind a simulated failure, so there is no system code either.
[[noreturn]] void Fail(DeviceErrorKind kind, const std::string& what, const char* why) {
    throw DeviceError(kind, 0, what + ": " + why);
}

}  // namespace

// Named rather than anonymous: SimulatedBus::Impl holds these.
namespace detail {

class VeltImpl;

// One physical device; a plugging gives it a fresh N (and so a fresh path).
struct Device {
    DeviceModel model;  // the identity it shows now
    FailureInjection failures;
    bool present = false;
    std::uint64_t n = 0;
    std::string path;
    std::unique_ptr<VeltImpl> velt;
};

struct BusCore {
    explicit BusCore(Clock& c) : clock(c) {}

    Clock& clock;
    std::uint64_t nextN = 0;
    std::vector<std::unique_ptr<Device>> devices;
    std::map<std::string, int> openCounts;
    std::size_t openDevices = 0;
    std::vector<CallRecord> calls;
    std::function<void(const ReportRecord&)> reportHook;

    void Plug(Device& device) {
        device.n = nextN++;
        device.path = PathOf(device.n);
        device.present = true;
    }
    void Leave(Device& device) { device.present = false; }

    Device* FindPresent(const std::string& path) {
        for (auto& device : devices) {
            if (device->present && device->path == path) {
                return device.get();
            }
        }
        return nullptr;
    }

    // Returns the time it brought the bus up to.
    std::uint64_t Update();
    // The present interfaces in ascending N.
    std::vector<HidInterfaceInfo> Present() {
        Update();
        std::vector<const Device*> present;
        for (const auto& device : devices) {
            if (device->present) {
                present.push_back(device.get());
            }
        }
        std::sort(present.begin(), present.end(),
                  [](const Device* a, const Device* b) { return a->n < b->n; });
        std::vector<HidInterfaceInfo> list;
        for (const Device* device : present) {
            list.push_back({device->path, device->model.vendorId, device->model.productId,
                            device->model.version, ""});
        }
        return list;
    }
    std::uint64_t Begin(const std::string& text) {
        const std::uint64_t now = Update();
        calls.push_back({now, text});
        return now;
    }
};

class VeltImpl final : public SimulatedVelt {
  public:
    VeltImpl(BusCore& bus, Device& device, const VeltBehaviour& behaviour)
        : bus_(bus), device_(device), behaviour_(behaviour) {}

    bool present() const override {
        bus_.Update();
        return device_.present;
    }
    std::uint16_t productId() const override {
        bus_.Update();
        return device_.model.productId;
    }
    std::string path() const override {
        bus_.Update();
        return device_.path;
    }
    const std::vector<ReportRecord>& reports() const override { return reports_; }
    int modeSwitches() const override { return modeSwitches_; }
    const std::vector<std::uint8_t>& firmware() const override { return firmware_; }

    std::string Summary() const override {
        return "mode-switches=" + std::to_string(modeSwitches_) +
               " records=" + std::to_string(records()) +
               " bytes=" + std::to_string(firmware_.size()) + " sha256=" + Sha256Hex(firmware_);
    }

    // The earliest pending bus event, if any.
    std::optional<std::uint64_t> NextEvent() const {
        if (detachAt_) {
            return detachAt_;
        }
        return reenumerateAt_;
    }

    void RunEvent(std::uint64_t at) {
        if (detachAt_ && *detachAt_ == at) {
            detachAt_.reset();
            bus_.Leave(device_);
            return;
        }
        reenumerateAt_.reset();
        if (behaviour_.bootloaderIdentity) {
            device_.model = *behaviour_.bootloaderIdentity;
        }
        device_.model.productId = protocol::bootloaderProductId;
        bus_.Plug(device_);
    }

    void CancelEvents() {
        detachAt_.reset();
        reenumerateAt_.reset();
    }

    // The device's answer to one feature report; records it either way.
    bool Receive(std::span<const std::uint8_t> report, std::uint64_t now) {
        ReportRecord record;
        record.timeMs = now;
        record.productId = device_.model.productId;
        record.length = report.size();
        if (!report.empty()) {
            record.bytes.assign(report.begin() + 1, report.end());
        }
        record.accepted = Decide(record.bytes, report.size(), now);
        reports_.push_back(record);
        if (bus_.reportHook) {
            bus_.reportHook(record);
        }
        return record.accepted;
    }

  private:
    bool Decide(const std::vector<std::uint8_t>& payload, std::size_t length, std::uint64_t now) {
        if (length == 0 || length > device_.model.featureReportLength) {
            return false;
        }
        if (device_.model.productId != protocol::bootloaderProductId) {
            if (IsModeSwitch(payload)) {
                ++modeSwitches_;
                // A switch while one is under way changes nothing: the firmware is already
                // on its way out.
                if (!behaviour_.ignoreSwitch && !detachAt_ && !reenumerateAt_) {
                    detachAt_ = now + behaviour_.detachMs;
                    reenumerateAt_ = *detachAt_ + behaviour_.reenumerateMs;
                }
            }
            return true;
        }
        if (length < kDataReportLength) {
            return false;
        }
        ++dataReports_;
        if (dataReports_ == behaviour_.refuseRecord) {
            return false;
        }
        firmware_.insert(firmware_.end(), payload.begin(), payload.begin() + protocol::recordSize);
        if (static_cast<int>(records()) == behaviour_.vanishAfter) {
            CancelEvents();
            bus_.Leave(device_);
        }
        return true;
    }

    BusCore& bus_;
    Device& device_;
    VeltBehaviour behaviour_;
    std::vector<ReportRecord> reports_;
    std::vector<std::uint8_t> firmware_;
    int modeSwitches_ = 0;
    int dataReports_ = 0;
    std::optional<std::uint64_t> detachAt_;
    std::optional<std::uint64_t> reenumerateAt_;
};

// Runs the due device events in time order, so the paths handed out do not depend on
// when the bus happens to be looked at.
std::uint64_t BusCore::Update() {
    const std::uint64_t now = clock.NowMs();
    for (;;) {
        VeltImpl* due = nullptr;
        std::uint64_t dueAt = std::numeric_limits<std::uint64_t>::max();
        for (auto& device : devices) {
            if (!device->velt) {
                continue;
            }
            const auto at = device->velt->NextEvent();
            if (at && *at <= now && *at < dueAt) {
                due = device->velt.get();
                dueAt = *at;
            }
        }
        if (due == nullptr) {
            return now;
        }
        due->RunEvent(dueAt);
    }
}

// One opened interface. It holds the bus core so that it can be destroyed after the bus.
class SimulatedDevice final : public HidDevice {
  public:
    SimulatedDevice(std::shared_ptr<BusCore> bus, Device& device)
        : bus_(std::move(bus)), device_(device), n_(device.n), path_(device.path) {
        ++bus_->openDevices;
    }
    ~SimulatedDevice() override {
        bus_->Begin("Close " + path_);
        --bus_->openDevices;
    }

    std::uint16_t FeatureReportLength() override {
        const Device& device = Live("FeatureReportLength " + path_);
        if (device.failures.featureLength) {
            Fail(DeviceErrorKind::Io, "FeatureReportLength " + path_, "injected failure");
        }
        return device.model.featureReportLength;
    }

    std::string GetString(HidString which) override {
        const std::string what = std::string("GetString ") + HidStringName(which) + " " + path_;
        const Device& device = Live(what);
        const auto& [text, fail] = [&]() -> std::pair<const std::optional<std::string>&, bool> {
            switch (which) {
                case HidString::Manufacturer:
                    return {device.model.manufacturer, device.failures.manufacturer};
                case HidString::Product:
                    return {device.model.product, device.failures.product};
                case HidString::SerialNumber:
                    break;
            }
            return {device.model.serial, device.failures.serial};
        }();
        if (fail) {
            Fail(DeviceErrorKind::Io, what, "injected failure");
        }
        if (!text) {
            Fail(DeviceErrorKind::NotSupported, what, "the device has no such string");
        }
        return ClampIdentityText(*text);
    }

    void SendFeatureReport(std::span<const std::uint8_t> report) override {
        const std::string what = "SendFeatureReport " + path_;
        Device& device = Live(what, " " + std::to_string(report.size()));
        bool accepted = !report.empty() && report.size() <= device.model.featureReportLength;
        if (device.velt) {
            accepted = device.velt->Receive(report, bus_->clock.NowMs());
            // A zero detach time takes effect at once.
            bus_->Update();
        }
        if (!accepted) {
            Fail(DeviceErrorKind::Refused, what, "the device refused the report");
        }
    }

  private:
    // Records the call; the device, unless it has left the bus since it was opened.
    Device& Live(const std::string& what, const std::string& arguments = "") {
        bus_->Begin(what + arguments);
        if (!device_.present || device_.n != n_) {
            Fail(DeviceErrorKind::Disconnected, what, "the device left the bus");
        }
        return device_;
    }

    std::shared_ptr<BusCore> bus_;
    Device& device_;
    std::uint64_t n_;  // the plugging it was opened on
    std::string path_;
};

}  // namespace detail

using namespace detail;

struct SimulatedBus::Impl : BusCore {
    using BusCore::BusCore;
};

SimulatedBus::SimulatedBus(Clock& clock) : impl_(std::make_shared<Impl>(clock)) {}

// The device objects still open see every device gone.
SimulatedBus::~SimulatedBus() {
    for (auto& device : impl_->devices) {
        if (device->velt) {
            device->velt->CancelEvents();
        }
        impl_->Leave(*device);
    }
    impl_->reportHook = nullptr;
}

std::string SimulatedBus::AddDevice(const DeviceModel& model, const FailureInjection& failures) {
    impl_->Update();
    auto device = std::make_unique<Device>();
    device->model = model;
    device->failures = failures;
    impl_->Plug(*device);
    impl_->devices.push_back(std::move(device));
    return impl_->devices.back()->path;
}

SimulatedVelt& SimulatedBus::AddVelt(const DeviceModel& model, const VeltBehaviour& behaviour,
                                     const FailureInjection& failures) {
    impl_->Update();
    auto device = std::make_unique<Device>();
    device->model = model;
    device->failures = failures;
    device->velt = std::make_unique<VeltImpl>(*impl_, *device, behaviour);
    impl_->Plug(*device);
    impl_->devices.push_back(std::move(device));
    return *impl_->devices.back()->velt;
}

void SimulatedBus::Unplug(const std::string& path) {
    impl_->Update();
    Device* device = impl_->FindPresent(path);
    if (device == nullptr) {
        return;
    }
    if (device->velt) {
        device->velt->CancelEvents();
    }
    impl_->Leave(*device);
}

void SimulatedBus::Replug(SimulatedVelt& velt) {
    impl_->Update();
    for (auto& device : impl_->devices) {
        if (device->velt.get() == &velt) {
            if (!device->present) {
                device->velt->CancelEvents();
                impl_->Plug(*device);
            }
            return;
        }
    }
}

void SimulatedBus::SetFailures(const std::string& path, const FailureInjection& failures) {
    impl_->Update();
    if (Device* device = impl_->FindPresent(path)) {
        device->failures = failures;
    }
}

void SimulatedBus::SetReportHook(std::function<void(const ReportRecord&)> hook) {
    impl_->reportHook = std::move(hook);
}

const std::vector<CallRecord>& SimulatedBus::calls() const {
    return impl_->calls;
}

void SimulatedBus::ClearCalls() {
    impl_->calls.clear();
}

std::size_t SimulatedBus::openDeviceCount() const {
    return impl_->openDevices;
}

int SimulatedBus::openCount(const std::string& path) const {
    const auto it = impl_->openCounts.find(path);
    return it == impl_->openCounts.end() ? 0 : it->second;
}

std::vector<std::string> SimulatedBus::presentPaths() const {
    std::vector<std::string> paths;
    for (const HidInterfaceInfo& info : impl_->Present()) {
        paths.push_back(info.path);
    }
    return paths;
}

std::vector<HidInterfaceInfo> SimulatedBus::ListInterfaces() {
    impl_->Begin("List");
    return impl_->Present();
}

std::unique_ptr<HidDevice> SimulatedBus::Open(const std::string& path) {
    const std::string what = "Open " + path;
    impl_->Begin(what);
    ++impl_->openCounts[path];
    Device* device = impl_->FindPresent(path);
    if (device == nullptr) {
        Fail(DeviceErrorKind::Disconnected, what, "no such device");
    }
    if (device->failures.open) {
        Fail(*device->failures.open, what, "injected failure");
    }
    return std::make_unique<SimulatedDevice>(impl_, *device);
}

}  // namespace velt::sim
