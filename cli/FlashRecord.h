#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/JsonLine.h"
#include "device/HidDevice.h"

namespace velt::cli {

// One device's end as the record keeps it: one JSON object a line, its result with the
// field names of --json's result.
struct FlashRecordEntry {
    std::string time;  // UTC, ISO 8601
    std::string host;
    std::string tool;   // this program's version
    std::string image;  // its path as given
    std::uint64_t bytes = 0;
    std::string sha256;
    std::string device;  // its location, or path where there is none
    std::string location;
    std::optional<std::string> serial;
    std::string versionBefore;  // "1.02", as the device said when it was opened
    std::string resultFields;   // ResultFields(): ,"result":...,"exit":...
    std::uint64_t durationMs = 0;
};

// "2026-12-07T10:15:02Z".
std::string UtcTime(std::chrono::system_clock::time_point when);

// The entry as one line, line feed included.
std::string RecordLine(const FlashRecordEntry& entry);

// What a record file holds: its readable entries in file order, and the numbers (from 1)
// of the lines that are not whole entries (cut off by a power failure, say).
struct RecordContent {
    std::vector<JsonObject> entries;
    std::vector<std::string> lines;  // each entry's line as written
    std::vector<std::size_t> damagedLines;
};

// Reads the record at `path`; a file not there is an empty record. nullopt, with the
// reason in `error`, when it cannot be read.
std::optional<RecordContent> ReadRecord(const std::string& path, std::string& error);

// The serial numbers recorded as updated with the image of this SHA-256.
std::set<std::string> SerialsDone(const RecordContent& record, const std::string& sha256);

// Appends each device's end to the record file of --record. Safe to call from the threads
// of several devices at once.
class FlashRecorder {
  public:
    FlashRecorder(std::string path, std::string image, std::uint64_t bytes, std::string sha256);
    const std::string& path() const { return path_; }
    // Whether the record can be written to (creating it), before any device is touched:
    // the system's words for why not, or an empty string.
    std::string Check() const;
    // Appends one device's end, on disk before it returns: the system's words for a
    // failure, or an empty string. A failure is remembered.
    std::string Write(FlashRecordEntry entry);
    bool Failed() const { return failed_; }
    const std::string& sha256() const { return sha256_; }

  private:
    std::string path_;
    std::string image_;
    std::uint64_t bytes_;
    std::string sha256_;
    std::string host_;
    std::atomic<bool> failed_ = false;
};

// Records a device's end; returns what to tell the user when it could not be written, or an
// empty string.
std::string RecordEnd(FlashRecorder& recorder, const HidInterfaceInfo& device,
                      const std::optional<std::string>& serial,
                      const std::optional<std::uint16_t>& versionBefore, std::string resultFields,
                      std::uint64_t durationMs);

}  // namespace velt::cli
