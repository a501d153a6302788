#pragma once

#include <optional>
#include <string>

#include "device/OpenDevice.h"

namespace velt {

// Where an update stands.
enum class UpdatePhase {
    CheckingImage,
    SwitchingToBootloader,
    WaitingForDevice,
    Transferring,  // the device answered; records follow
    Finishing,     // every record was accepted
};

enum class UpdateOutcome { None, Success, Failure, Cancelled };
// "none", "success", "failure", "cancelled": --json's result and the demo's.
const char* OutcomeName(UpdateOutcome outcome);

enum class CancelCause { User, Timeout, Interrupt };

enum class UpdateErrorKind {
    ImageUnusable,   // the image failed its check; `detail` says how
    SwitchTooShort,  // the device's feature report cannot carry the switch to the bootloader
    RecordTooShort,  // the bootloader's feature report cannot carry a firmware record
    ProbeFailed,     // the device did not answer before the first record
    RecordRefused,   // the device said no to a record
    DeviceLeft,      // the device left the bus during the transfer
    DeviceFailed,    // any other failure of the device while sending
};

struct UpdateError {
    UpdateErrorKind kind = UpdateErrorKind::DeviceFailed;
    int recordsSent = 0;   // records the device accepted before it went wrong
    int totalRecords = 0;  // whole records of the image
    std::uint16_t featureReportLength = 0;
    std::uint16_t neededLength = 0;  // SwitchTooShort, RecordTooShort: what the command needs
    std::string detail;              // the image check's message, the system's words
};

struct UpdateResult {
    UpdateOutcome outcome = UpdateOutcome::None;
    std::optional<UpdateError> error;  // set for Failure
    CancelCause cause = CancelCause::User;
    int recordsSent = 0;
    int totalRecords = 0;
    bool switched = false;  // the mode switch went out: the device may wait in its bootloader
};

// Told what an update does, in order, each phase once; each front end renders it its own
// way. What the update came to is said in every front end's words by OutcomeOf
// (update/Outcome.h).
class UpdateListener {
  public:
    virtual ~UpdateListener() = default;

    virtual void OnPhase(UpdatePhase) {}
    // After every discovery pass while waiting for the device: found or still missing.
    virtual void OnDeviceSearched(OpenDevice&) {}
    // Records accepted so far of the image's whole records; 0 once, right before the probe.
    virtual void OnProgress(int /*recordsSent*/, int /*totalRecords*/) {}
    virtual void OnFinished(const UpdateResult&) {}

    // The update's event-processing step, once per wait cycle and once per accepted
    // record. Returns the cause when the update is to end now; once records flow, ending
    // leaves the device half-written, so the window only defers a close there.
    virtual std::optional<CancelCause> ShouldStop() = 0;
};

}  // namespace velt
