#include "ImageFile.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace velt {

namespace {
std::string ErrnoText(int error) {
    return std::generic_category().message(error);
}
}  // namespace

ImageReader::~ImageReader() {
    Close();
}

bool ImageReader::Open(const std::string& path) {
    Close();
    errno = 0;
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        error_ = errno != 0 ? ErrnoText(errno) : "cannot be opened";
        return false;
    }
    error_.clear();
    return true;
}

ImageReader::Read ImageReader::Next(ImageRecord& record) {
    if (file_ == nullptr) {
        return Read::Error;
    }
    errno = 0;
    const std::size_t got = std::fread(record.data(), 1, record.size(), file_);
    if (got == record.size()) {
        return Read::Record;
    }
    if (std::ferror(file_)) {
        error_ = errno != 0 ? ErrnoText(errno) : "read error";
        return Read::Error;
    }
    return Read::Short;
}

void ImageReader::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
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

ImageCheck CheckImage(const std::string& path, const std::string& name) {
    namespace fs = std::filesystem;
    ImageCheck check;
    const std::string replace = " Put the firmware image for the device in its place.";

    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        check.message = "Cannot find " + name + "." + replace;
        return check;
    }
    if (!fs::is_regular_file(status)) {
        check.message = name + " is not a file." + replace;
        return check;
    }
    ImageReader reader;
    if (!reader.Open(path)) {
        check.message =
            name + " cannot be read: " + reader.error() + ". Check that you may read it.";
        return check;
    }
    reader.Close();
    check.size = fs::file_size(path, ec);
    if (ec) {
        check.message = name + " cannot be read: " + ec.message() + ".";
        return check;
    }
    if (check.size == 0) {
        check.message = name + " is empty." + replace;
    } else if (check.size < kRecordSize) {
        check.message = name + " is too small: " + std::to_string(check.size) +
                        " bytes. An image holds at least one record of 40 bytes." + replace;
    } else if (check.size > kMaxImageSize) {
        check.message = name + " is too large: " + WithThousands(check.size) +
                        " bytes. The largest image is " + WithThousands(kMaxImageSize) + " bytes.";
    } else {
        check.ok = true;
    }
    return check;
}

}  // namespace velt
