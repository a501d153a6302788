#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/JsonLine.h"

namespace velt::cli {

// One device's end as the record keeps it: one JSON object a line, with the field names of
// --json's result.
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
    std::string versionBefore;  // "1.02"; empty when the device was never seen
    std::string result;         // "success", "failure", "cancelled"
    int exit = 0;
    int records = 0;
    int total = 0;
    std::string cause;  // cancelled: "user", "timeout", "interrupt"
    std::string error;  // failure: "record-refused", ...
    std::string message;
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

}  // namespace velt::cli
