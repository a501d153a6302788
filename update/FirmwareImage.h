#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velt {

// The firmware image, read once and held whole: what was checked is exactly what is
// sent, however the file changes on disk meanwhile. It is at most 1,310,679 bytes.
class FirmwareImage {
  public:
    explicit FirmwareImage(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t size() const { return bytes_.size(); }
    // The 40-byte records that are sent; a shorter remainder at the end is not.
    std::size_t wholeRecords() const;
    std::size_t remainder() const;
    std::span<const std::uint8_t> Record(std::size_t index) const;
    std::span<const std::uint8_t> bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

// The image, or what is wrong with it and what to do, in a sentence or two. `name` is
// how the messages call the file. Every program describes an unusable image with this.
struct ImageLoad {
    std::optional<FirmwareImage> image;
    std::string message;
    bool missing = false;  // nothing at all at the path, so a program may say it its own way
};
ImageLoad LoadFirmwareImage(const std::string& path, const std::string& name);

// 1310680 -> "1,310,680".
std::string WithThousands(std::uint64_t value);

}  // namespace velt
