#include "update/FirmwareImage.h"

#include "device/VeltProtocol.h"
#include "platform/FileRead.h"

namespace velt {

using protocol::recordSize;

std::size_t FirmwareImage::wholeRecords() const {
    return bytes_.size() / recordSize;
}

std::size_t FirmwareImage::remainder() const {
    return bytes_.size() % recordSize;
}

std::span<const std::uint8_t> FirmwareImage::Record(std::size_t index) const {
    return std::span<const std::uint8_t>(bytes_).subspan(index * recordSize, recordSize);
}

std::string WithThousands(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text += ',';
        }
        text += digits[i];
    }
    return text;
}

// Read whole at the check, never opened again: the file may be emptied, rewritten or
// replaced while the device re-enumerates, and the device must get the bytes that were
// checked or nothing.
ImageLoad LoadFirmwareImage(const std::string& path, const std::string& name) {
    const std::string replace = " Put the firmware image for the device in its place.";
    FileRead read = ReadRegularFile(path, protocol::maxImageSize);
    ImageLoad load;
    switch (read.status) {
        case FileRead::Status::Missing:
            load.message = "Cannot find " + name + "." + replace;
            load.missing = true;
            return load;
        case FileRead::Status::NotRegular:
            load.message = name + " is not a file." + replace;
            return load;
        case FileRead::Status::Denied:
            load.message =
                name + " cannot be read: " + read.error + ". Check that you may read it.";
            return load;
        case FileRead::Status::Error:
            load.message = name + " cannot be read: " + read.error + ".";
            return load;
        case FileRead::Status::TooLarge:
            load.message = name + " is too large: " + WithThousands(read.size) +
                           " bytes. The largest image is " + WithThousands(protocol::maxImageSize) +
                           " bytes.";
            return load;
        case FileRead::Status::Ok:
            break;
    }
    if (read.size == 0) {
        load.message = name + " is empty." + replace;
    } else if (read.size < recordSize) {
        load.message = name + " is too small: " + std::to_string(read.size) +
                       " bytes. An image holds at least one record of 40 bytes." + replace;
    } else {
        load.image.emplace(std::move(read.bytes));
    }
    return load;
}

}  // namespace velt
