#include "line/FlashRecord.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "Product.h"
#include "device/IdentityText.h"
#include "platform/AppendFile.h"
#include "platform/FileChunks.h"
#include "platform/HostName.h"
#include "platform/Utf8.h"

namespace velt::line {

namespace {

// Longer than any entry this program writes (a path of 32,767 characters, escaped, and
// its bytes in hex); a longer line is skipped as damaged, never held whole.
constexpr std::size_t kLongestLine = 1u << 20;
// What a reader holds of the file at a time besides the line being read.
constexpr std::size_t kChunkBytes = 256u << 10;

const char* CauseName(CancelCause cause) {
    switch (cause) {
        case CancelCause::Timeout:
            return "timeout";
        case CancelCause::Interrupt:
            return "interrupt";
        case CancelCause::User:
            break;
    }
    return "user";
}

}  // namespace

Json ResultFields(const Outcome& outcome, const UpdateResult& update, const std::string& message) {
    Json fields{{"result", outcome.result},
                {"exit", outcome.exitStatus},
                {"records", update.recordsSent},
                {"total", update.totalRecords}};
    if (update.outcome == UpdateOutcome::Cancelled) {
        fields["cause"] = CauseName(update.cause);
    }
    if (*outcome.error != '\0') {
        fields["error"] = outcome.error;
        fields["message"] = message;
    }
    return fields;
}

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
    Json line{{"time", entry.time}, {"host", entry.host}};
    if (!entry.station.empty()) {
        line["station"] = entry.station;
    }
    line["tool"] = entry.tool;
    line["image"] = entry.image;
    // JSON holds only UTF-8: the name's own bytes beside it, so that the file can be found.
    if (!ValidUtf8(entry.image)) {
        std::string hex;
        for (const char byte : entry.image) {
            hex += "0123456789abcdef"[static_cast<unsigned char>(byte) >> 4];
            hex += "0123456789abcdef"[static_cast<unsigned char>(byte) & 0xF];
        }
        line["imageHex"] = hex;
    }
    line["bytes"] = entry.bytes;
    line["sha256"] = entry.sha256;
    line["device"] = entry.device;
    if (!entry.location.empty()) {
        line["location"] = entry.location;
    }
    if (entry.serial) {
        line["serial"] = *entry.serial;
    }
    if (!entry.versionBefore.empty()) {
        line["versionBefore"] = entry.versionBefore;
    }
    line.update(entry.result);
    line["durationMs"] = entry.durationMs;
    return JsonText(line) + '\n';
}

RecordRead RecordReader::ReadOn(const RecordVisitor& visit, bool toTheEnd, std::uint64_t upTo) {
    FileChunks file(path_);
    RecordRead read;
    switch (file.status()) {
        case FileChunks::Status::Regular:
            break;
        case FileChunks::Status::CharacterDevice:
            return read;
        case FileChunks::Status::Missing:
            if (offset_ > 0) {
                Restart(visit);
            }
            return {RecordRead::Status::Missing, file.error()};
        case FileChunks::Status::NotRegular:
            return {RecordRead::Status::Unreadable, "not a regular file"};
        case FileChunks::Status::Denied:
        case FileChunks::Status::Error:
            return {RecordRead::Status::Unreadable, file.error()};
    }
    if (file.size() < offset_) {
        Restart(visit);  // another file in its place, or the same one emptied
    }
    const std::uint64_t end = std::min(file.size(), upTo);
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(
        std::min<std::uint64_t>(kChunkBytes, end - std::min(end, offset_))));
    while (offset_ < end) {
        const auto room =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), end - offset_));
        const auto got = file.ReadAt(offset_, chunk.data(), room);
        if (!got) {
            return {RecordRead::Status::Unreadable, file.error()};
        }
        if (*got == 0) {
            break;  // cut shorter meanwhile
        }
        offset_ += *got;
        const std::string_view text(reinterpret_cast<const char*>(chunk.data()), *got);
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t feed = text.find('\n', start);
            const std::string_view piece =
                text.substr(start, feed == text.npos ? text.npos : feed - start);
            if (!skipping_ && pending_.size() + piece.size() > kLongestLine) {
                skipping_ = true;
                pending_.clear();
            }
            if (!skipping_) {
                pending_.append(piece);
            }
            if (feed == text.npos) {
                break;
            }
            start = feed + 1;
            EndLine(visit);
        }
    }
    if (toTheEnd && (skipping_ || !pending_.empty())) {
        EndLine(visit);
    }
    return read;
}

void RecordReader::EndLine(const RecordVisitor& visit) {
    ++lines_;
    std::string_view line = pending_;
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    if (skipping_) {
        visit.damaged(lines_);
    } else if (line.find_first_not_of(" \t") != line.npos) {
        const auto entry = ParseFlatObject(line);
        if (entry && StringField(*entry, "result") && StringField(*entry, "time")) {
            visit.entry(lines_, line, *entry);
        } else {
            visit.damaged(lines_);
        }
    }
    pending_.clear();
    skipping_ = false;
}

void RecordReader::Restart(const RecordVisitor& visit) {
    offset_ = 0;
    lines_ = 0;
    pending_.clear();
    skipping_ = false;
    if (visit.restart) {
        visit.restart();
    }
}

bool FlashedWhole(const Json& entry) {
    const auto records = NumberField(entry, "records");
    const auto total = NumberField(entry, "total");
    return StringField(entry, "result") == "success" && records && total && *total > 0 &&
           *records == *total;
}

RecordedDone::RecordedDone(std::string path, std::string sha256)
    : reader_(std::move(path)), sha256_(std::move(sha256)) {}

RecordRead RecordedDone::ReadOn(const std::function<void(std::size_t)>& damaged) {
    RecordVisitor visit;
    visit.entry = [&](std::size_t, std::string_view, const Json& entry) {
        const auto serial = StringField(entry, "serial");
        if (!serial || serial->empty() || StringField(entry, "sha256") != sha256_) {
            return;
        }
        if (FlashedWhole(entry)) {
            done_.insert(*serial);
        } else {
            done_.erase(*serial);
        }
    };
    visit.damaged = damaged;
    visit.restart = [&] { done_.clear(); };
    RecordRead read = reader_.ReadOn(visit, false);
    return read.status == RecordRead::Status::Missing ? RecordRead() : read;
}

FlashRecorder::FlashRecorder(std::string path, std::string image, std::uint64_t bytes,
                             std::string sha256, std::string station)
    : path_(std::move(path)),
      image_(std::move(image)),
      bytes_(bytes),
      sha256_(std::move(sha256)),
      station_(std::move(station)),
      host_(HostName()) {}

std::string FlashRecorder::Check() const {
    return AppendLineDurably(path_, "");
}

std::string FlashRecorder::Write(FlashRecordEntry entry) {
    entry.time = UtcTime(std::chrono::system_clock::now());
    entry.host = host_;
    entry.station = station_;
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
                      const std::optional<std::uint16_t>& versionBefore, Json result,
                      std::uint64_t durationMs) {
    FlashRecordEntry entry;
    entry.device = device.location.empty() ? device.path : device.location;
    entry.location = device.location;
    entry.serial = serial;
    if (versionBefore) {
        entry.versionBefore = FormatVersion(*versionBefore).substr(1);
    }
    entry.result = std::move(result);
    entry.durationMs = durationMs;
    const std::string error = recorder.Write(entry);
    if (error.empty()) {
        return {};
    }
    // Several devices may end at once: the message says whose end is lost.
    return "the record " + Printable(recorder.path()) + " could not be written for " +
           Printable(entry.device + " " + serial.value_or("-")) + ": " + error;
}

}  // namespace velt::line
