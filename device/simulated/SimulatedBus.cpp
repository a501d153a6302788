#include "SimulatedBus.h"

#include <algorithm>
#include <limits>

#include "Sha256.h"

namespace velt::sim {

namespace {

constexpr std::size_t kPayloadBytes = 40;
// A data report carries the report ID and a 40-byte payload.
constexpr std::size_t kDataReportLength = kPayloadBytes + 1;
constexpr std::uint8_t kSwitchCommand[] = {0xDE, 0xFA, 0xCE};

// UTF-8 to UTF-16LE; a malformed sequence becomes U+FFFD, as a descriptor decoder would
// show it rather than fail.
std::vector<std::uint8_t> Utf16Le(const std::string& text) {
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint32_t unit) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t extra = 0;
        std::uint32_t code = 0;
        std::uint32_t minimum = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
            minimum = 0x10000;
        } else {
            put(0xFFFD);
            ++i;
            continue;
        }
        bool valid = true;
        for (std::size_t k = 1; valid && k <= extra; ++k) {
            if (i + k >= text.size()) {
                valid = false;
                break;
            }
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            put(0xFFFD);
            ++i;
            continue;
        }
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            put(0xD800 | (code >> 10));
            put(0xDC00 | (code & 0x3FF));
        } else {
            put(code);
        }
    }
    return out;
}

std::string PathOf(std::uint64_t n) {
    return "/sim/hidraw" + std::to_string(n);
}

bool IsModeSwitch(const std::vector<std::uint8_t>& payload) {
    if (payload.size() < std::size(kSwitchCommand)) {
        return false;
    }
    if (!std::equal(std::begin(kSwitchCommand), std::end(kSwitchCommand), payload.begin())) {
        return false;
    }
    return std::all_of(payload.begin() + std::size(kSwitchCommand), payload.end(),
                       [](std::uint8_t b) { return b == 0; });
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

struct Handle {
    Device* device = nullptr;
    std::uint64_t n = 0;  // the plugging it was opened on
    std::string path;
};

struct BusCore {
    explicit BusCore(Clock& c) : clock(c) {}

    Clock& clock;
    std::uint64_t nextN = 0;
    HidHandle nextHandle = 1;
    std::vector<std::unique_ptr<Device>> devices;
    std::map<HidHandle, Handle> handles;
    std::map<std::string, int> openCounts;
    OpenError lastOpenError = OpenError::None;
    int invalidCloses = 0;
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
    std::uint64_t Begin(const std::string& text) {
        const std::uint64_t now = Update();
        calls.push_back({now, text});
        return now;
    }
    std::string Describe(HidHandle handle) const {
        const auto it = handles.find(handle);
        return it != handles.end() ? it->second.path : "#" + std::to_string(handle);
    }
    // The device behind an open handle, or null once it has left the bus.
    Device* Live(HidHandle handle) {
        const auto it = handles.find(handle);
        if (it == handles.end()) {
            return nullptr;
        }
        Device* device = it->second.device;
        return device->present && device->n == it->second.n ? device : nullptr;
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
    const std::vector<std::array<std::uint8_t, 40>>& records() const override { return records_; }

    std::string Summary() const override {
        Sha256 hasher;
        for (const auto& record : records_) {
            hasher.Update(record.data(), record.size());
        }
        return "mode-switches=" + std::to_string(modeSwitches_) +
               " records=" + std::to_string(records_.size()) +
               " bytes=" + std::to_string(records_.size() * kPayloadBytes) +
               " sha256=" + Sha256::Hex(hasher.Finish());
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
        device_.model.productId = bootloaderProductId;
        bus_.Plug(device_);
    }

    void CancelEvents() {
        detachAt_.reset();
        reenumerateAt_.reset();
    }

    // The device's answer to one feature report; records it either way.
    bool Receive(const std::uint8_t* report, std::size_t length, std::uint64_t now) {
        ReportRecord record;
        record.timeMs = now;
        record.productId = device_.model.productId;
        record.length = length;
        if (report != nullptr && length > 1) {
            record.bytes.assign(report + 1, report + length);
        }
        record.accepted = Decide(report, length, record.bytes, now);
        reports_.push_back(record);
        if (bus_.reportHook) {
            bus_.reportHook(record);
        }
        return record.accepted;
    }

  private:
    bool Decide(const std::uint8_t* report, std::size_t length,
                const std::vector<std::uint8_t>& payload, std::uint64_t now) {
        if (report == nullptr || length == 0 || length > device_.model.featureReportLength) {
            return false;
        }
        if (device_.model.productId != bootloaderProductId) {
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
        std::array<std::uint8_t, kPayloadBytes> stored{};
        std::copy_n(payload.begin(), kPayloadBytes, stored.begin());
        records_.push_back(stored);
        if (static_cast<int>(records_.size()) == behaviour_.vanishAfter) {
            CancelEvents();
            bus_.Leave(device_);
        }
        return true;
    }

    BusCore& bus_;
    Device& device_;
    VeltBehaviour behaviour_;
    std::vector<ReportRecord> reports_;
    std::vector<std::array<std::uint8_t, kPayloadBytes>> records_;
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

}  // namespace detail

using namespace detail;

struct SimulatedBus::Impl : BusCore {
    using BusCore::BusCore;
};

SimulatedBus::SimulatedBus(Clock& clock) : impl_(std::make_unique<Impl>(clock)) {}

SimulatedBus::~SimulatedBus() = default;

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

std::size_t SimulatedBus::openHandleCount() const {
    return impl_->handles.size();
}

int SimulatedBus::invalidCloses() const {
    return impl_->invalidCloses;
}

int SimulatedBus::openCount(const std::string& path) const {
    const auto it = impl_->openCounts.find(path);
    return it == impl_->openCounts.end() ? 0 : it->second;
}

std::vector<std::string> SimulatedBus::presentPaths() const {
    impl_->Update();
    std::vector<const Device*> present;
    for (const auto& device : impl_->devices) {
        if (device->present) {
            present.push_back(device.get());
        }
    }
    std::sort(present.begin(), present.end(),
              [](const Device* a, const Device* b) { return a->n < b->n; });
    std::vector<std::string> paths;
    for (const Device* device : present) {
        paths.push_back(device->path);
    }
    return paths;
}

std::unique_ptr<HidInterfaceList> SimulatedBus::ListInterfaces() {
    impl_->Begin("List");
    return std::make_unique<SnapshotInterfaceList>(presentPaths());
}

HidHandle SimulatedBus::Open(const std::string& path, bool overlapped) {
    impl_->Begin("Open " + path + (overlapped ? " overlapped" : ""));
    ++impl_->openCounts[path];
    Device* device = impl_->FindPresent(path);
    if (device == nullptr) {
        impl_->lastOpenError = OpenError::NotFound;
        return kInvalidHandle;
    }
    if (overlapped ? device->failures.secondOpen : device->failures.open) {
        impl_->lastOpenError = device->failures.openError;
        return kInvalidHandle;
    }
    impl_->lastOpenError = OpenError::None;
    const HidHandle handle = impl_->nextHandle++;
    impl_->handles[handle] = Handle{device, device->n, path};
    return handle;
}

OpenError SimulatedBus::LastOpenError() const {
    return impl_->lastOpenError;
}

bool SimulatedBus::PeekProductId(const std::string& path, std::uint16_t& productId) {
    impl_->Begin("PeekProductId " + path);
    const Device* device = impl_->FindPresent(path);
    if (device == nullptr) {
        return false;
    }
    productId = device->model.productId;
    return true;
}

bool SimulatedBus::Close(HidHandle handle) {
    impl_->Begin("Close " + impl_->Describe(handle));
    // A handle to a device that has left still needs closing, and closing it works.
    if (impl_->handles.erase(handle) == 0) {
        ++impl_->invalidCloses;
        return false;
    }
    return true;
}

bool SimulatedBus::GetAttributes(HidHandle handle, HiddAttributes& attributes) {
    impl_->Begin("GetAttributes " + impl_->Describe(handle));
    const Device* device = impl_->Live(handle);
    if (device == nullptr || device->failures.attributes) {
        return false;
    }
    attributes.VendorID = device->model.vendorId;
    attributes.ProductID = device->model.productId;
    attributes.VersionNumber = device->model.version;
    return true;
}

bool SimulatedBus::GetCaps(HidHandle handle, HidpCaps& caps) {
    impl_->Begin("GetCaps " + impl_->Describe(handle));
    const Device* device = impl_->Live(handle);
    if (device == nullptr || device->failures.caps) {
        return false;
    }
    caps = HidpCaps{};
    caps.Usage = device->model.usage;
    caps.UsagePage = device->model.usagePage;
    caps.FeatureReportByteLength = device->model.featureReportLength;
    return true;
}

bool SimulatedBus::GetString(HidHandle handle, HidString which, std::uint8_t* buffer,
                             std::size_t byteLength) {
    impl_->Begin(std::string("GetString ") + HidStringName(which) + " " + impl_->Describe(handle));
    const Device* device = impl_->Live(handle);
    if (device == nullptr || buffer == nullptr) {
        return false;
    }
    const std::optional<std::string>* text = nullptr;
    bool fail = false;
    switch (which) {
        case HidString::Manufacturer:
            text = &device->model.manufacturer;
            fail = device->failures.manufacturer;
            break;
        case HidString::Product:
            text = &device->model.product;
            fail = device->failures.product;
            break;
        case HidString::SerialNumber:
            text = &device->model.serial;
            fail = device->failures.serial;
            break;
    }
    if (fail || text == nullptr || !text->has_value()) {
        return false;
    }
    std::vector<std::uint8_t> encoded = Utf16Le(**text);
    encoded.push_back(0);
    encoded.push_back(0);
    // Like the real query, a short buffer gets what fits, terminator or not.
    std::copy_n(encoded.begin(), std::min(encoded.size(), byteLength), buffer);
    return true;
}

bool SimulatedBus::SetFeature(HidHandle handle, const std::uint8_t* report, std::size_t length) {
    const std::uint64_t now =
        impl_->Begin("SetFeature " + impl_->Describe(handle) + " " + std::to_string(length));
    Device* device = impl_->Live(handle);
    if (device == nullptr) {
        return false;
    }
    if (device->velt) {
        const bool accepted = device->velt->Receive(report, length, now);
        // A zero detach time takes effect at once.
        impl_->Update();
        return accepted;
    }
    return report != nullptr && length > 0 && length <= device->model.featureReportLength;
}

void SimulatedBus::Sleep(std::uint32_t milliseconds) {
    impl_->Begin("Sleep " + std::to_string(milliseconds));
    impl_->clock.SleepMs(milliseconds);
}

}  // namespace velt::sim
