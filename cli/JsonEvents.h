#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "device/OpenDevice.h"
#include "line/Json.h"
#include "platform/Clock.h"
#include "update/FirmwareImage.h"
#include "update/Outcome.h"
#include "update/UpdateListener.h"

namespace velt::cli {

using line::Json;

// What a flash does, as one JSON object a line (--json), for a factory line or a CI job
// to follow without reading prose: the image, the device found, the phases, progress at
// least once a second and at the end, and one result with its exit status. It passes the
// update's reports on to an inner listener, which still answers whether to go on. When
// several devices are flashed at once, each has its own JsonEvents naming its device in
// every object, and all of them share one lock so that lines never interleave.
class JsonEvents final : public UpdateListener {
  public:
    JsonEvents(std::ostream& out, Clock& clock) : out_(out), clock_(clock) {}
    // The listener that renders and decides for the update; set before it starts.
    void SetInner(UpdateListener& inner) { inner_ = &inner; }
    // Every object names this device (its location or path) from now on.
    void SetDevice(std::string device) { device_ = std::move(device); }
    const std::string& device() const { return device_; }
    // The lock shared by every JsonEvents writing to the same stream.
    void ShareLock(std::mutex& writing) { writing_ = &writing; }

    void Image(const std::string& path, const FirmwareImage& image, const std::string& sha256);
    void Device(const OpenDevice& velt, const std::optional<std::string>& serial = {});
    // Any other object: `fields` are its members after the event name (and device); a
    // `progress` object may be merged away while the reader lags.
    void Emit(const char* event, const Json& fields, bool progress = false);
    // The last object of an update: its outcome from the table, the records of `update` and,
    // unless it succeeded, `message`.
    void Result(const Outcome& outcome, const UpdateResult& update, const std::string& message);

    void OnPhase(UpdatePhase phase) override;
    void OnDeviceSearched(OpenDevice& velt) override { inner_->OnDeviceSearched(velt); }
    void OnProgress(int recordsSent, int totalRecords) override;
    void OnFinished(const UpdateResult& result) override { inner_->OnFinished(result); }
    std::optional<CancelCause> ShouldStop() override { return inner_->ShouldStop(); }

  private:
    std::ostream& out_;
    Clock& clock_;
    UpdateListener* inner_ = nullptr;
    std::uint64_t lastProgressMs_ = 0;
    std::string device_;
    std::mutex ownLock_;
    std::mutex* writing_ = &ownLock_;
};

}  // namespace velt::cli
