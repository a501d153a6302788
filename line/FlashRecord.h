#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "device/HidDevice.h"
#include "line/Json.h"
#include "update/Outcome.h"
#include "update/UpdateListener.h"

namespace velt::line {

// The members of a result object after its event name: "result", "exit", "records",
// "total", and "cause", "error" and "message" where they apply: --json's result and the
// record's entry alike.
Json ResultFields(const Outcome& outcome, const UpdateResult& update, const std::string& message);

// One device's end as the record keeps it: one JSON object a line, its result with the
// field names of --json's result.
struct FlashRecordEntry {
    std::string time;  // UTC, ISO 8601
    std::string host;
    std::string station;  // the production station's name; empty: none
    std::string tool;     // this program's version
    std::string image;    // its path as given; written with "imageHex" when not UTF-8
    std::uint64_t bytes = 0;
    std::string sha256;
    std::string device;  // its location, or path where there is none
    std::string location;
    std::optional<std::string> serial;
    std::string versionBefore;  // "1.02", as the device said when it was opened
    Json result;                // ResultFields(): "result", "exit", ...
    std::uint64_t durationMs = 0;
};

// "2026-12-07T10:15:02Z".
std::string UtcTime(std::chrono::system_clock::time_point when);

// The entry as one line, line feed included.
std::string RecordLine(const FlashRecordEntry& entry);

// What reading a record met with.
struct RecordRead {
    enum class Status { Ok, Missing, Unreadable };
    Status status = Status::Ok;
    std::string error;  // Missing, Unreadable: why
};

// What a reader tells of the lines it reads.
struct RecordVisitor {
    // Each whole entry: its line number (from 1), its line as written, the entry.
    std::function<void(std::size_t, std::string_view, const Json&)> entry;
    // Each line that is not a whole entry: cut off by a power failure, damaged, or longer
    // than any entry.
    std::function<void(std::size_t)> damaged;
    // The file got shorter than what was read: it is read again from its start.
    std::function<void()> restart;
};

// Reads a record line by line, on from where the last read stopped, holding one chunk and
// at most one line at a time, so that a record of any size takes bounded memory. A
// character device (/dev/null) is an empty record; a FIFO is refused, not waited for.
class RecordReader {
  public:
    explicit RecordReader(std::string path) : path_(std::move(path)) {}
    // Reads on to the end the file has now, at most to byte `upTo`. A last line without its
    // line feed may be being written: it waits for the next read, unless `toTheEnd` takes
    // it as it is. A file not there is Missing, and empty to a later read.
    RecordRead ReadOn(const RecordVisitor& visit, bool toTheEnd, std::uint64_t upTo = UINT64_MAX);
    // The bytes read so far.
    std::uint64_t offset() const { return offset_; }

  private:
    void EndLine(const RecordVisitor& visit);
    void Restart(const RecordVisitor& visit);

    std::string path_;
    std::uint64_t offset_ = 0;
    std::size_t lines_ = 0;
    std::string pending_;    // the line being read, without its line feed
    bool skipping_ = false;  // the line being read is too long to be an entry
};

// Whether the entry has its device updated whole: a success with every record sent.
bool FlashedWhole(const Json& entry);

// The serial numbers whose latest entry in a record for the image of one SHA-256 has them
// flashed whole, kept up to date with what any process appends to the record. Latest is
// last in the file: lines are appended as devices end, while the clocks of several hosts
// sharing a record may disagree.
class RecordedDone {
  public:
    RecordedDone(std::string path, std::string sha256);
    // Reads what was appended since the last call; `damaged` is told of each line that is
    // not a whole entry. A record not there is empty.
    RecordRead ReadOn(const std::function<void(std::size_t)>& damaged);
    bool Done(const std::string& serial) const { return done_.count(serial) > 0; }

  private:
    RecordReader reader_;
    std::string sha256_;
    std::unordered_set<std::string> done_;
};

// Appends each device's end to the record file of --record. Safe to call from the threads
// of several devices at once.
class FlashRecorder {
  public:
    // `station` names the production station in every entry; empty: none.
    FlashRecorder(std::string path, std::string image, std::uint64_t bytes, std::string sha256,
                  std::string station = {});
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
    std::string station_;
    std::string host_;
    std::atomic<bool> failed_ = false;
};

// Records a device's end; returns what to tell the user when it could not be written (naming
// the record and the device), or an empty string.
std::string RecordEnd(FlashRecorder& recorder, const HidInterfaceInfo& device,
                      const std::optional<std::string>& serial,
                      const std::optional<std::uint16_t>& versionBefore, Json result,
                      std::uint64_t durationMs);

}  // namespace velt::line
