#include "cli/FlashRecord.h"

#include <cstdio>
#include <string_view>

#include "Product.h"
#include "cli/Session.h"
#include "cli/Text.h"
#include "device/IdentityText.h"
#include "platform/AppendFile.h"
#include "platform/FileRead.h"
#include "platform/HostName.h"

namespace velt::cli {

namespace {

// Years of a busy line's records; more is not a record of this program.
constexpr std::uint64_t kMostRecordBytes = 256ull << 20;

}  // namespace

std::string UtcTime(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(when);
    const auto day = floor<days>(seconds);
    const year_month_day date{day};
    const hh_mm_ss clock{seconds - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::string RecordLine(const FlashRecordEntry& entry) {
    std::string line = R"({"time":)" + JsonString(entry.time) + R"(,"host":)" +
                       JsonString(entry.host) + R"(,"tool":)" + JsonString(entry.tool) +
                       R"(,"image":)" + JsonString(entry.image) + R"(,"bytes":)" +
                       std::to_string(entry.bytes) + R"(,"sha256":)" + JsonString(entry.sha256) +
                       R"(,"device":)" + JsonString(entry.device);
    if (!entry.location.empty()) {
        line += R"(,"location":)" + JsonString(entry.location);
    }
    if (entry.serial) {
        line += R"(,"serial":)" + JsonString(*entry.serial);
    }
    if (!entry.versionBefore.empty()) {
        line += R"(,"versionBefore":)" + JsonString(entry.versionBefore);
    }
    return line + entry.resultFields + R"(,"durationMs":)" + std::to_string(entry.durationMs) +
           "}\n";
}

std::optional<RecordContent> ReadRecord(const std::string& path, std::string& error) {
    const FileRead read = ReadRegularFile(path, kMostRecordBytes);
    RecordContent record;
    switch (read.status) {
        case FileRead::Status::Ok:
            break;
        case FileRead::Status::Missing:
            return record;
        case FileRead::Status::NotRegular:
            error = "not a regular file";
            return std::nullopt;
        case FileRead::Status::TooLarge:
            error = "larger than " + std::to_string(kMostRecordBytes >> 20) + " MiB";
            return std::nullopt;
        case FileRead::Status::Denied:
        case FileRead::Status::Error:
            error = read.error;
            return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(read.bytes.data()),
                                read.bytes.size());
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.find_first_not_of(" \t") == line.npos) {
            continue;
        }
        auto entry = ParseFlatJsonObject(line);
        if (entry && StringField(*entry, "result") && StringField(*entry, "time")) {
            record.entries.push_back(std::move(*entry));
            record.lines.emplace_back(line);
        } else {
            record.damagedLines.push_back(number);
        }
    }
    return record;
}

std::set<std::string> SerialsDone(const RecordContent& record, const std::string& sha256) {
    std::set<std::string> done;
    for (const JsonObject& entry : record.entries) {
        const auto serial = StringField(entry, "serial");
        if (serial && !serial->empty() && StringField(entry, "result") == "success" &&
            StringField(entry, "sha256") == sha256) {
            done.insert(*serial);
        }
    }
    return done;
}

FlashRecorder::FlashRecorder(std::string path, std::string image, std::uint64_t bytes,
                             std::string sha256)
    : path_(std::move(path)),
      image_(std::move(image)),
      bytes_(bytes),
      sha256_(std::move(sha256)),
      host_(HostName()) {}

std::string FlashRecorder::Check() const {
    return AppendLineDurably(path_, "");
}

std::string FlashRecorder::Write(FlashRecordEntry entry) {
    entry.time = UtcTime(std::chrono::system_clock::now());
    entry.host = host_;
    entry.tool = product::versionText;
    entry.image = image_;
    entry.bytes = bytes_;
    entry.sha256 = sha256_;
    std::string error = AppendLineDurably(path_, RecordLine(entry));
    if (!error.empty()) {
        failed_ = true;
    }
    return error;
}

std::string RecordEnd(FlashRecorder& recorder, const HidInterfaceInfo& device,
                      const std::optional<std::string>& serial,
                      const std::optional<std::uint16_t>& versionBefore, std::string resultFields,
                      std::uint64_t durationMs) {
    FlashRecordEntry entry;
    entry.device = device.location.empty() ? device.path : device.location;
    entry.location = device.location;
    entry.serial = serial;
    if (versionBefore) {
        entry.versionBefore = FormatVersion(*versionBefore).substr(1);
    }
    entry.resultFields = std::move(resultFields);
    entry.durationMs = durationMs;
    const std::string error = recorder.Write(entry);
    if (error.empty()) {
        return {};
    }
    // Several devices may end at once: the message says whose end is lost.
    return std::string(kProgram) + ": the record " + Printable(recorder.path()) +
           " could not be written for " + Printable(entry.device + " " + serial.value_or("-")) +
           ": " + error;
}

}  // namespace velt::cli
