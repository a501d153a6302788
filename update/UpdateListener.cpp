#include "update/UpdateListener.h"

namespace velt {

std::string DescribeUpdateError(const UpdateError& error) {
    const std::string again = " Start the update again.";
    // Every failure but the image's and a device gone happens with the device in its
    // bootloader, where it stays until an update completes.
    const std::string waiting = " The Velt-USB waits in its bootloader: start the update again.";
    const std::string of =
        std::to_string(error.recordsSent) + " of " + std::to_string(error.totalRecords);
    const std::string nothing = error.recordsSent == 0
                                    ? " No firmware was written."
                                    : " The firmware was not completely written.";
    const std::string written = nothing + waiting;
    switch (error.kind) {
        case UpdateErrorKind::ImageUnusable:
            return error.detail;
        case UpdateErrorKind::ReportTooShort:
            return "The device's feature report holds " +
                   std::to_string(error.featureReportLength) + " bytes; " +
                   (error.neededLength > 4 ? "a firmware record needs at least "
                                           : "the switch to the bootloader needs at least ") +
                   std::to_string(error.neededLength) + ". The device cannot " +
                   (error.neededLength > 4
                        ? "take this firmware. No firmware was written; the Velt-USB now waits "
                          "in its bootloader."
                        : "be updated. No firmware was written.");
        case UpdateErrorKind::ProbeFailed:
            return "The device did not answer. No firmware was written." + waiting;
        case UpdateErrorKind::RecordRefused:
            return "The device refused record " + std::to_string(error.recordsSent + 1) + " of " +
                   std::to_string(error.totalRecords) + "." + written;
        case UpdateErrorKind::DeviceLeft:
            return (error.recordsSent == 0
                        ? std::string("The Velt-USB left the bus before the first record.")
                        : "The Velt-USB left the bus after record " + of + ".") +
                   nothing + again;
        case UpdateErrorKind::DeviceFailed:
            break;
    }
    return "Record " + std::to_string(error.recordsSent + 1) + " of " +
           std::to_string(error.totalRecords) + " could not be sent: " + error.detail + "." +
           written;
}

int ExitStatusFor(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Failure:
            return 1;
        case UpdateOutcome::Cancelled:
            return 2;
        case UpdateOutcome::None:
        case UpdateOutcome::Success:
            break;
    }
    return 0;
}

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

}  // namespace velt
