#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "DeviceProtocol.h"

namespace velt {

// The record counter of the transfer is 16-bit signed: at most 32,767 reads, the last
// of which comes up short. So 32,766 whole records plus 39 bytes.
inline constexpr std::uint64_t kMaxImageSize = 32'766ULL * kRecordSize + (kRecordSize - 1);
inline constexpr int kMaxRecordReads = 32'767;
inline constexpr const char* kImageName = "Velt-USB.bin";

// Reads the image read-only, one 40-byte record at a time; never creates or changes it.
class ImageReader {
  public:
    enum class Read { Record, Short, Error };

    ImageReader() = default;
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;
    ~ImageReader();

    bool Open(const std::string& path);
    // Why Open or Next failed, as the system words it.
    const std::string& error() const { return error_; }
    // Record: 40 bytes read. Short: fewer (the end of the file). Error: a read failed.
    Read Next(ImageRecord& record);
    void Close();

  private:
    std::FILE* file_ = nullptr;
    std::string error_;
};

// Whether the image can be sent: a regular file, readable, at least one whole record,
// at most kMaxImageSize bytes. `message` says what is wrong and what to do.
struct ImageCheck {
    bool ok = false;
    std::uint64_t size = 0;
    std::string message;
};
// `name` is how the messages call the file.
ImageCheck CheckImage(const std::string& path, const std::string& name = kImageName);

// 1310680 -> "1,310,680".
std::string WithThousands(std::uint64_t value);

}  // namespace velt
