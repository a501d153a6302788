#include "update/Outcome.h"

#include <algorithm>

namespace velt {

namespace {

// The names and headings more than one row or error kind shares.
constexpr const char* kNoDeviceName = "no-device";
constexpr const char* kImageUnusableName = "image-unusable";
constexpr const char* kFileErrorHeading = "File Error";

struct RefusalRow {
    Refusal refusal;
    int exitStatus;
    UpdateOutcome result;  // --json "result", by its name
    const char* error;     // --json "error"
    const char* heading;   // where a box shows it, its title
};
constexpr RefusalRow kRefusals[] = {
    {Refusal::ImageUnusable, kExitUsage, UpdateOutcome::None, kImageUnusableName,
     kFileErrorHeading},
    {Refusal::ImageMissing, kExitUpdateFailed, UpdateOutcome::None, kImageUnusableName,
     kFileErrorHeading},
    {Refusal::ImageDigest, kExitUsage, UpdateOutcome::None, "image-digest", ""},
    {Refusal::RecordUnwritable, kExitUsage, UpdateOutcome::None, "record-unwritable", ""},
    {Refusal::NoDevice, kExitNoDevice, UpdateOutcome::None, kNoDeviceName, ""},
    {Refusal::Unopened, kExitNoDevice, UpdateOutcome::Failure, kNoDeviceName, ""},
    {Refusal::AmbiguousDevice, kExitUsage, UpdateOutcome::None, "ambiguous-device", ""},
    {Refusal::Interrupted, kExitInterrupted, UpdateOutcome::None, "interrupted", ""},
    {Refusal::Usage, kExitUsage, UpdateOutcome::Failure, "usage", ""},
};

std::string Of(int sent, int total) {
    return std::to_string(sent) + " of " + std::to_string(total);
}

// A failure's JSON name, the heading it is shown under and what the user reads: what
// happened and what to do.
void DescribeFailure(const UpdateError& error, Outcome& outcome) {
    outcome.heading = "Update Error";
    // Every failure but the image's and a device gone happens with the device in its
    // bootloader, where it stays until an update completes.
    const std::string again = " Start the update again.";
    const std::string waiting = " The Velt-USB waits in its bootloader: start the update again.";
    const std::string nothing = error.recordsSent == 0
                                    ? " No firmware was written."
                                    : " The firmware was not completely written.";
    switch (error.kind) {
        case UpdateErrorKind::ImageUnusable: {
            const Outcome row = OutcomeOf(Refusal::ImageUnusable, error.detail);
            outcome.error = row.error;
            outcome.heading = row.heading;
            outcome.reason = row.reason;
            return;
        }
        case UpdateErrorKind::SwitchTooShort:
        case UpdateErrorKind::RecordTooShort: {
            const bool record = error.kind == UpdateErrorKind::RecordTooShort;
            outcome.error = "report-too-short";
            outcome.reason =
                "The device's feature report holds " + std::to_string(error.featureReportLength) +
                " bytes; " +
                (record ? "a firmware record needs at least "
                        : "the switch to the bootloader needs at least ") +
                std::to_string(error.neededLength) + ". The device cannot " +
                (record ? "take this firmware. No firmware was written; the Velt-USB now waits in "
                          "its bootloader."
                        : "be updated. No firmware was written.");
            return;
        }
        case UpdateErrorKind::ProbeFailed:
            outcome.error = "probe-failed";
            outcome.reason = "The device did not answer. No firmware was written." + waiting;
            return;
        case UpdateErrorKind::RecordRefused:
            outcome.error = "record-refused";
            outcome.reason = "The device refused record " +
                             Of(error.recordsSent + 1, error.totalRecords) + "." + nothing +
                             waiting;
            return;
        case UpdateErrorKind::DeviceLeft:
            outcome.error = "device-left";
            outcome.reason =
                (error.recordsSent == 0
                     ? std::string("The Velt-USB left the bus before the first record.")
                     : "The Velt-USB left the bus after record " +
                           Of(error.recordsSent, error.totalRecords) + ".") +
                nothing + again;
            return;
        case UpdateErrorKind::DeviceFailed:
            break;
    }
    outcome.error = "device-failed";
    outcome.reason = "Record " + Of(error.recordsSent + 1, error.totalRecords) +
                     " could not be sent: " + error.detail + "." + nothing + waiting;
}

void DescribeCancel(const UpdateResult& result, std::string_view timeoutSeconds, Outcome& outcome) {
    outcome.error = OutcomeName(UpdateOutcome::Cancelled);
    outcome.brief = "cancelled";
    if (result.cause == CancelCause::Timeout) {
        outcome.exitStatus = kExitTimedOut;
        outcome.reason =
            "timed out: it did not come back in bootloader mode; no firmware was written";
        outcome.brief = "timed out";
        outcome.cancelText =
            "timed out: the Velt-USB did not come back in bootloader mode within " +
            std::string(timeoutSeconds) +
            " s. No firmware was written. Replug the device and start again "
            "(--timeout 0 waits without limit).";
        return;
    }
    outcome.exitStatus = result.cause == CancelCause::Interrupt ? kExitInterrupted : kExitCancelled;
    if (result.recordsSent > 0) {
        outcome.reason = "stopped after " + std::to_string(result.recordsSent) + " of " +
                         std::to_string(result.totalRecords) + " records: not completely written";
        outcome.cancelText = "The update was stopped after " +
                             Of(result.recordsSent, result.totalRecords) +
                             " records. The firmware was not completely written. Start the "
                             "update again.";
        return;
    }
    outcome.reason = result.switched
                         ? "cancelled after the switch: no firmware was written; the device may "
                           "be waiting in its bootloader, run the update again"
                         : "cancelled: no firmware was written";
    outcome.cancelText =
        "Cancelled. No firmware was written. The device may be waiting in its bootloader: start "
        "the update again to finish it.";
}

}  // namespace

const char* OutcomeName(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Success:
            return "success";
        case UpdateOutcome::Failure:
            return "failure";
        case UpdateOutcome::Cancelled:
            return "cancelled";
        case UpdateOutcome::None:
            break;
    }
    return "none";
}

Outcome OutcomeOf(const UpdateResult& result, std::string_view timeoutSeconds) {
    Outcome outcome;
    outcome.result = OutcomeName(result.outcome);
    switch (result.outcome) {
        case UpdateOutcome::Success:
            return outcome;
        case UpdateOutcome::Failure:
            outcome.exitStatus = kExitUpdateFailed;
            DescribeFailure(*result.error, outcome);
            outcome.brief = outcome.reason;
            return outcome;
        case UpdateOutcome::Cancelled:
            DescribeCancel(result, timeoutSeconds, outcome);
            return outcome;
        case UpdateOutcome::None:
            break;
    }
    // No device was open to update.
    outcome = OutcomeOf(Refusal::NoDevice, "gone");
    outcome.brief = "the Velt-USB is gone";
    return outcome;
}

std::string FewWords(const Outcome& outcome) {
    const std::string_view error = outcome.error;
    if (error == OutcomeName(UpdateOutcome::Cancelled) || error == kNoDeviceName) {
        return outcome.brief;
    }
    std::string words(error);
    std::replace(words.begin(), words.end(), '-', ' ');
    return words;
}

Outcome OutcomeOf(Refusal refusal, std::string message) {
    Outcome outcome;
    for (const RefusalRow& row : kRefusals) {
        if (row.refusal == refusal) {
            outcome.exitStatus = row.exitStatus;
            outcome.result = OutcomeName(row.result);
            outcome.error = row.error;
            outcome.heading = row.heading;
        }
    }
    outcome.reason = message;
    outcome.brief = std::move(message);
    return outcome;
}

int RecordedStatus(int status, bool unrecorded) {
    return unrecorded && status == kExitSuccess ? kExitOutputLost : status;
}

int CombinedStatus(const std::vector<int>& statuses, bool unrecorded) {
    bool failed = false;
    bool interrupted = false;
    for (const int status : statuses) {
        failed = failed || status != kExitSuccess;
        interrupted = interrupted || status == kExitInterrupted;
    }
    return failed ? (interrupted ? kExitInterrupted : kExitUpdateFailed)
                  : RecordedStatus(kExitSuccess, unrecorded);
}

}  // namespace velt
