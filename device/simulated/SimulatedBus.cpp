#include "device/simulated/SimulatedBus.h"

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <span>
#include <utility>

#include "device/IdentityText.h"
#include "device/simulated/VeltFirmware.h"

namespace velt::sim {

namespace {

std::string PathOf(std::uint64_t n) {
    return "sim:hid" + std::to_string(n);
}

// No system call lies behind a simulated failure, so there is no system code either.
[[noreturn]] void Fail(DeviceErrorKind kind, const std::string& what, const char* why) {
    throw DeviceError(kind, 0, what + ": " + why);
}

}  // namespace

// Named rather than anonymous: SimulatedBus::Impl holds these.
namespace detail {

class VeltImpl;

// One physical device; a plugging gives it a fresh N (and so a fresh path), never a new
// location.
struct Device {
    DeviceModel model;  // the identity it shows now; its location is the device's
    FailureInjection failures;
    bool present = false;
    std::uint64_t n = 0;
    std::string path;
    std::unique_ptr<VeltImpl> simulated;
};

// Every member is used with `mutex` held. It is recursive because the Velt-USB's own calls
// catch the bus up too.
struct BusCore {
    explicit BusCore(Clock& c) : clock(c) {}

    Clock& clock;
    mutable std::recursive_mutex mutex;
    std::uint64_t nextN = 0;
    int nextPort = 1;
    std::uint64_t changes = 0;
    std::vector<std::unique_ptr<Device>> devices;
    std::map<std::string, int> openCounts;
    std::size_t openDevices = 0;
    std::vector<CallRecord> calls;
    std::function<void(const ReportRecord&)> reportHook;

    // A new device on the bus, not yet present, with its location settled.
    Device& Add(const DeviceModel& model, const FailureInjection& failures) {
        auto& device = *devices.emplace_back(std::make_unique<Device>());
        device.model = model;
        device.failures = failures;
        while (device.model.location.empty()) {
            const std::string port = "1-" + std::to_string(nextPort++);
            if (std::none_of(devices.begin(), devices.end(),
                             [&](const auto& other) { return other->model.location == port; })) {
                device.model.location = port;
            }
        }
        return device;
    }
    void Plug(Device& device) {
        device.n = nextN++;
        device.path = PathOf(device.n);
        device.present = true;
        ++changes;
    }
    void Leave(Device& device) {
        changes += device.present ? 1 : 0;
        device.present = false;
    }

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
                            device->model.version, device->model.location});
        }
        return list;
    }
    std::uint64_t Begin(const std::string& text) {
        const std::uint64_t now = Update();
        calls.push_back({now, text});
        return now;
    }
};

// The Velt-USB as the tests and programs see it: its firmware, and where the bus has it.
class VeltImpl final : public SimulatedVelt {
  public:
    VeltImpl(BusCore& bus, Device& device, const VeltBehaviour& behaviour)
        : logic(device.model, behaviour), bus_(bus), device_(device) {}

    bool present() const override {
        std::lock_guard lock(bus_.mutex);
        bus_.Update();
        return device_.present;
    }
    std::uint16_t productId() const override {
        std::lock_guard lock(bus_.mutex);
        bus_.Update();
        return device_.model.productId;
    }
    std::string path() const override {
        std::lock_guard lock(bus_.mutex);
        bus_.Update();
        return device_.path;
    }
    std::string location() const override {
        std::lock_guard lock(bus_.mutex);
        return device_.model.location;
    }
    const std::vector<ReportRecord>& reports() const override { return logic.reports(); }
    int modeSwitches() const override {
        std::lock_guard lock(bus_.mutex);
        return logic.modeSwitches();
    }
    const std::vector<std::uint8_t>& firmware() const override { return logic.firmware(); }
    std::string Summary() const override {
        std::lock_guard lock(bus_.mutex);
        return logic.Summary();
    }

    // What it does with the reports it receives; used with the bus's lock held.
    VeltFirmware logic;

  private:
    BusCore& bus_;
    Device& device_;
};

// Runs the due device events in time order, so the paths handed out do not depend on
// when the bus happens to be looked at.
std::uint64_t BusCore::Update() {
    const std::uint64_t now = clock.NowMs();
    for (;;) {
        Device* due = nullptr;
        std::uint64_t dueAt = std::numeric_limits<std::uint64_t>::max();
        for (auto& device : devices) {
            if (!device->simulated) {
                continue;
            }
            const auto at = device->simulated->logic.NextEvent();
            if (at && *at <= now && *at < dueAt) {
                due = device.get();
                dueAt = *at;
            }
        }
        if (due == nullptr) {
            return now;
        }
        const auto event = due->simulated->logic.TakeEvent(dueAt);
        if (!event.plug) {
            Leave(*due);
            continue;
        }
        if (event.identity) {
            const std::string location = due->model.location;
            due->model = *event.identity;
            due->model.location = location;
        }
        Plug(*due);
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
        std::lock_guard lock(bus_->mutex);
        bus_->Begin("Close " + path_);
        --bus_->openDevices;
    }

    std::uint16_t FeatureReportLength() override {
        std::lock_guard lock(bus_->mutex);
        const Device& device = Live("FeatureReportLength " + path_);
        if (device.failures.featureLength) {
            Fail(DeviceErrorKind::Io, "FeatureReportLength " + path_, "injected failure");
        }
        return device.model.featureReportLength;
    }

    std::string GetString(HidString which) override {
        std::lock_guard lock(bus_->mutex);
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
            Fail(device.failures.stringError, what, "injected failure");
        }
        if (!text) {
            Fail(DeviceErrorKind::NotSupported, what, "the device has no such string");
        }
        return ClampIdentityText(*text);
    }

    void SendFeatureReport(std::span<const std::uint8_t> report) override {
        const std::string what = "SendFeatureReport " + path_;
        std::optional<ReportRecord> received;
        std::function<void(const ReportRecord&)> hook;
        bool accepted = false;
        {
            std::lock_guard lock(bus_->mutex);
            Device& device = Live(what, " " + std::to_string(report.size()));
            accepted = !report.empty() && report.size() <= device.model.featureReportLength;
            if (device.simulated) {
                received =
                    device.simulated->logic.Receive(report, device.model, bus_->clock.NowMs());
                accepted = received->accepted;
                hook = bus_->reportHook;
                // A zero detach time takes effect at once.
                bus_->Update();
            }
        }
        // Outside the lock: the hook may look at the bus, or wait for a thread that does.
        if (received && hook) {
            hook(*received);
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

using Lock = std::lock_guard<std::recursive_mutex>;

SimulatedBus::SimulatedBus(Clock& clock) : impl_(std::make_shared<Impl>(clock)) {}

// The device objects still open see every device gone.
SimulatedBus::~SimulatedBus() {
    Lock lock(impl_->mutex);
    for (auto& device : impl_->devices) {
        if (device->simulated) {
            device->simulated->logic.CancelEvents();
        }
        impl_->Leave(*device);
    }
    impl_->reportHook = nullptr;
}

std::string SimulatedBus::AddDevice(const DeviceModel& model, const FailureInjection& failures) {
    Lock lock(impl_->mutex);
    impl_->Update();
    Device& device = impl_->Add(model, failures);
    impl_->Plug(device);
    return device.path;
}

SimulatedVelt& SimulatedBus::AddVelt(const DeviceModel& model, const VeltBehaviour& behaviour,
                                     const FailureInjection& failures) {
    Lock lock(impl_->mutex);
    impl_->Update();
    Device& device = impl_->Add(model, failures);
    device.simulated = std::make_unique<VeltImpl>(*impl_, device, behaviour);
    impl_->Plug(device);
    return *device.simulated;
}

SimulatedVelt& SimulatedBus::PlugVeltAt(std::uint64_t timeMs, const DeviceModel& model,
                                        const VeltBehaviour& behaviour,
                                        const FailureInjection& failures) {
    Lock lock(impl_->mutex);
    impl_->Update();
    Device& device = impl_->Add(model, failures);
    device.simulated = std::make_unique<VeltImpl>(*impl_, device, behaviour);
    device.simulated->logic.PlugAt(timeMs);
    impl_->Update();  // a time already reached plugs it in now
    return *device.simulated;
}

void SimulatedBus::Unplug(const std::string& path) {
    Lock lock(impl_->mutex);
    impl_->Update();
    Device* device = impl_->FindPresent(path);
    if (device == nullptr) {
        return;
    }
    if (device->simulated) {
        device->simulated->logic.CancelEvents();
    }
    impl_->Leave(*device);
}

void SimulatedBus::Replug(SimulatedVelt& simulated) {
    Lock lock(impl_->mutex);
    impl_->Update();
    for (auto& device : impl_->devices) {
        if (device->simulated.get() == &simulated) {
            if (!device->present) {
                device->simulated->logic.CancelEvents();
                impl_->Plug(*device);
            }
            return;
        }
    }
}

void SimulatedBus::SetFailures(const std::string& path, const FailureInjection& failures) {
    Lock lock(impl_->mutex);
    impl_->Update();
    if (Device* device = impl_->FindPresent(path)) {
        device->failures = failures;
    }
}

void SimulatedBus::SetReportHook(std::function<void(const ReportRecord&)> hook) {
    Lock lock(impl_->mutex);
    impl_->reportHook = std::move(hook);
}

std::uint64_t SimulatedBus::changes() const {
    Lock lock(impl_->mutex);
    impl_->Update();
    return impl_->changes;
}

const std::vector<CallRecord>& SimulatedBus::calls() const {
    return impl_->calls;
}

void SimulatedBus::ClearCalls() {
    Lock lock(impl_->mutex);
    impl_->calls.clear();
}

std::size_t SimulatedBus::openDeviceCount() const {
    Lock lock(impl_->mutex);
    return impl_->openDevices;
}

int SimulatedBus::openCount(const std::string& path) const {
    Lock lock(impl_->mutex);
    const auto it = impl_->openCounts.find(path);
    return it == impl_->openCounts.end() ? 0 : it->second;
}

std::vector<std::string> SimulatedBus::presentPaths() const {
    Lock lock(impl_->mutex);
    std::vector<std::string> paths;
    for (const HidInterfaceInfo& info : impl_->Present()) {
        paths.push_back(info.path);
    }
    return paths;
}

std::vector<HidInterfaceInfo> SimulatedBus::ListInterfaces() {
    Lock lock(impl_->mutex);
    impl_->Begin("List");
    return impl_->Present();
}

std::unique_ptr<HidDevice> SimulatedBus::Open(const std::string& path) {
    Lock lock(impl_->mutex);
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
