#pragma once

#include <string>

#include "UpdateSequence.h"

namespace velt {

enum class TransferFailure {
    None,
    ReportTooShort,   // the device's feature report cannot carry a whole record
    ImageUnreadable,  // the image could not be opened or read
    ImageTooLarge,    // more reads than the record counter holds
    ImageShrank,      // fewer whole records when sending than when counting
    ProbeFailed,      // the device did not answer before the first record
    RecordRefused,    // a data report was not accepted
    Stopped,          // the user stopped it between two records
};

struct TransferResult {
    bool succeeded = false;
    TransferFailure failure = TransferFailure::None;
    int recordsSent = 0;
    int wholeRecords = 0;  // as counted
    std::string detail;    // the system's words for an unreadable image

    explicit operator bool() const { return succeeded; }
};

// Streams the image to the open device as data reports, growing the progress bar, and
// closes both handles at the end or on a refused report. Succeeds at once, touching
// nothing, when no device is open.
TransferResult SendFlashData(UpdateContext& context);

// The message for a failed transfer: what happened and what to do.
std::string DescribeTransferFailure(const TransferResult& result, int featureReportLength,
                                    const std::string& imageName);

}  // namespace velt
