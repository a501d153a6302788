#include "cli/Progress.h"

#include <algorithm>
#include <cstdio>

#include "device/VeltProtocol.h"
#include "update/FirmwareImage.h"

namespace velt::cli {

std::optional<ProgressPace::Drawing> ProgressPace::Next(int sent, int total,
                                                        std::uint64_t elapsedMs) {
    if (total <= 0) {
        return std::nullopt;
    }
    // Once a percent: eight devices must not keep a terminal busy.
    const int percent = static_cast<int>(100LL * sent / total);
    if (percent == shownPercent_) {
        return std::nullopt;
    }
    shownPercent_ = percent;
    const int tenth = static_cast<int>(10LL * sent / total);
    const bool newTenth = tenth > loggedTenth_;
    loggedTenth_ = std::max(loggedTenth_, tenth);
    return Drawing{ProgressText(sent, total, elapsedMs), newTenth || sent == 0};
}

std::string MinutesSeconds(std::uint64_t milliseconds) {
    const std::uint64_t seconds = (milliseconds + 500) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
    return text;
}

std::string ProgressText(int sent, int total, std::uint64_t elapsedMs) {
    const std::string percent = std::to_string(100LL * sent / total) + "%";
    std::string text = std::string(percent.size() < 4 ? 4 - percent.size() : 0, ' ') + percent +
                       "  " + std::to_string(sent) + "/" + std::to_string(total) + " records";
    if (elapsedMs == 0 || sent == 0) {
        return text;
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(sent) * protocol::recordSize;
    text += "  " + WithThousands(bytes * 1000 / elapsedMs) + " B/s";
    const std::uint64_t leftMs =
        elapsedMs * static_cast<std::uint64_t>(total - sent) / static_cast<std::uint64_t>(sent);
    return text + "  " + MinutesSeconds(leftMs) + " left";
}

}  // namespace velt::cli
