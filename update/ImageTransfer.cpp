#include "ImageTransfer.h"

#include "DeviceProtocol.h"
#include "ImageFile.h"

namespace velt {

namespace {

constexpr std::uint32_t kCountingPauseMs = 10;
constexpr std::uint32_t kRecordPauseMs = 20;

TransferResult Failed(TransferFailure failure, int sent = 0, int whole = 0,
                      std::string detail = {}) {
    TransferResult result;
    result.failure = failure;
    result.recordsSent = sent;
    result.wholeRecords = whole;
    result.detail = std::move(detail);
    return result;
}

// Counts the reads up to and including the one that comes up short.
TransferResult CountRecords(const std::string& path, int& totalRecords) {
    ImageReader reader;
    if (!reader.Open(path)) {
        return Failed(TransferFailure::ImageUnreadable, 0, 0, reader.error());
    }
    totalRecords = 0;
    ImageRecord record;
    for (;;) {
        if (totalRecords == kMaxRecordReads) {
            return Failed(TransferFailure::ImageTooLarge);
        }
        const auto read = reader.Next(record);
        if (read == ImageReader::Read::Error) {
            return Failed(TransferFailure::ImageUnreadable, 0, 0, reader.error());
        }
        ++totalRecords;
        if (read == ImageReader::Read::Short) {
            break;
        }
    }
    TransferResult counted;
    counted.succeeded = true;
    counted.wholeRecords = totalRecords - 1;
    return counted;
}

}  // namespace

TransferResult SendFlashData(UpdateContext& context) {
    HidPlatform& platform = context.platform;
    WindowSystem& window = context.window;
    DeviceState& state = context.state;

    if (!state.deviceFound) {
        TransferResult nothing;
        nothing.succeeded = true;
        return nothing;
    }
    const std::uint16_t featureLength = state.deviceCaps.FeatureReportByteLength;
    if (featureLength < kMinDataReportLength) {
        return Failed(TransferFailure::ReportTooShort);
    }
    DataReport report(featureLength);

    int totalRecords = 0;
    const TransferResult counted = CountRecords(context.imagePath, totalRecords);
    if (!counted) {
        return counted;
    }
    const int wholeRecords = counted.wholeRecords;

    platform.Sleep(kCountingPauseMs);
    window.SetVisible(Control::Pic, true);
    window.SetWidth(Control::Pic, 0.0F);

    if (!RunReadinessProbe(platform, state)) {
        return Failed(TransferFailure::ProbeFailed, 0, wholeRecords);
    }
    window.SetCaption(Control::btnUpgradeFW, "Updating firmware...");

    ImageReader reader;
    int blocksSent = 0;
    // Ends the transfer early: nothing further is sent and the device is let go.
    auto abandon = [&](TransferFailure failure, std::string detail = {}) {
        window.SetWidth(Control::Pic, 0.0F);
        reader.Close();
        CloseDeviceHandles(platform, state);
        return Failed(failure, blocksSent, wholeRecords, std::move(detail));
    };

    if (!reader.Open(context.imagePath)) {
        return abandon(TransferFailure::ImageUnreadable, reader.error());
    }
    ImageRecord record;
    // A file that grew since counting still gets only the records counted.
    while (blocksSent < wholeRecords) {
        const auto read = reader.Next(record);
        if (read == ImageReader::Read::Error) {
            return abandon(TransferFailure::ImageUnreadable, reader.error());
        }
        if (read == ImageReader::Read::Short) {
            return abandon(TransferFailure::ImageShrank);
        }
        report.Fill(record);
        context.gate.DataStarted();
        if (!report.Send(platform, state)) {
            return abandon(TransferFailure::RecordRefused);
        }
        platform.Sleep(kRecordPauseMs);
        ++blocksSent;
        const double width =
            static_cast<double>(static_cast<std::int64_t>(context.progressFullWidth) * blocksSent) /
            totalRecords;
        window.SetWidth(Control::Pic, static_cast<float>(width));
        window.Refresh(Control::Pic);
        // Records are flowing: a close request now waits for the end; only an explicit
        // stop ends the transfer here, between two records.
        if (!context.gate.ProcessEvents(window)) {
            return abandon(TransferFailure::Stopped);
        }
    }

    reader.Close();
    window.SetCaption(Control::btnUpgradeFW, "Finishing...");
    window.SetWidth(Control::Pic, 0.0F);
    CloseDeviceHandles(platform, state);
    TransferResult done;
    done.succeeded = true;
    done.recordsSent = blocksSent;
    done.wholeRecords = wholeRecords;
    return done;
}

std::string DescribeTransferFailure(const TransferResult& result, int featureReportLength,
                                    const std::string& imageName) {
    const std::string again = " Start the update again.";
    const std::string partial = result.recordsSent == 0
                                    ? " No firmware was written."
                                    : " The firmware was not completely written." + again;
    switch (result.failure) {
        case TransferFailure::None:
            return {};
        case TransferFailure::ReportTooShort:
            return "The device's feature report holds " + std::to_string(featureReportLength) +
                   " bytes; a firmware record needs at least " +
                   std::to_string(kMinDataReportLength) +
                   ". The device cannot take this firmware. No firmware was written.";
        case TransferFailure::ImageUnreadable:
            return imageName + " could not be read" +
                   (result.detail.empty() ? std::string() : ": " + result.detail) + "." + partial;
        case TransferFailure::ImageTooLarge:
            return imageName + " is too large. The largest image is " +
                   WithThousands(kMaxImageSize) + " bytes. No firmware was written.";
        case TransferFailure::ImageShrank:
            return imageName + " changed while it was being sent: it now holds fewer than " +
                   std::to_string(result.wholeRecords) + " records." + partial;
        case TransferFailure::ProbeFailed:
            return "The device did not answer. No firmware was written.";
        case TransferFailure::Stopped:
            return "The update was stopped after " + std::to_string(result.recordsSent) + " of " +
                   std::to_string(result.wholeRecords) + " records." + partial;
        case TransferFailure::RecordRefused:
            return "The device refused record " + std::to_string(result.recordsSent + 1) + " of " +
                   std::to_string(result.wholeRecords) + "." +
                   (result.recordsSent == 0 ? std::string(" No firmware was written.") + again
                                            : partial);
    }
    return {};
}

}  // namespace velt
