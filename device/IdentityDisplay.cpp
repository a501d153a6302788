#include "IdentityDisplay.h"

#include <array>
#include <cstdio>

#include "Discovery.h"

namespace velt {

namespace {

// The queries write into the first 100 bytes; the rest stays zero, so a string ends
// after 50 code units at the latest.
constexpr std::size_t kStringBufferSize = 201;
constexpr std::size_t kQueryLength = 100;
constexpr std::size_t kMaxUnits = 50;
constexpr std::uint32_t kQueryPauseMs = 20;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

class Queries {
  public:
    Queries(HidPlatform& platform, DeviceState& state) : platform_(platform), state_(state) {}

    // Pauses, asks for one string into the shared buffer and keeps the result in
    // apiResult. Returns the decoded text on success.
    bool Ask(HidString which, std::string& text) {
        platform_.Sleep(kQueryPauseMs);
        const bool ok =
            state_.queryHandle.isOpen() &&
            platform_.GetString(state_.queryHandle.value(), which, buffer_.data(), kQueryLength);
        state_.apiResult = ok ? 1 : 0;
        if (ok) {
            text = DecodeIdentityString(buffer_.data(), kQueryLength);
        }
        return ok;
    }

  private:
    HidPlatform& platform_;
    DeviceState& state_;
    std::array<std::uint8_t, kStringBufferSize> buffer_{};
};

}  // namespace

std::string DecodeIdentityString(const std::uint8_t* buffer, std::size_t byteLength) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < byteLength && units.size() < kMaxUnits; i += 2) {
        const auto unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        units += unit;
    }
    // A pair cut by the limit loses its first half too rather than showing half a character.
    if (!units.empty() && IsHighSurrogate(units.back())) {
        const std::size_t next = units.size() * 2;
        const bool cut = units.size() == kMaxUnits || next + 1 >= byteLength;
        if (cut) {
            units.pop_back();
        }
    }

    std::string text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (IsHighSurrogate(unit) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            const char32_t cp = 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            AppendUtf8(text, cp);
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(text, U'\uFFFD');
        } else {
            AppendUtf8(text, unit);
        }
    }
    return text;
}

std::string FormatVersion(std::uint16_t versionNumber) {
    const unsigned major = versionNumber / 256;
    const unsigned minor = versionNumber - major * 256;
    char text[16];
    std::snprintf(text, sizeof text, " %u.%X", major, minor);
    return text;
}

void ShowDeviceInfo(HidPlatform& platform, DeviceState& state, IdentityLabels& labels) {
    if (!state.deviceFound) {
        labels.SetIdentityCaption(IdentityField::Manufacturer, "");
        labels.SetIdentityCaption(IdentityField::Product, "");
        labels.SetIdentityCaption(IdentityField::SerialNumber, "");
        labels.SetIdentityCaption(IdentityField::Version, " ");
        return;
    }

    Queries queries(platform, state);
    std::string text;
    if (queries.Ask(HidString::Manufacturer, text)) {
        labels.SetIdentityCaption(IdentityField::Manufacturer, " " + text);
        labels.SetIdentityCaption(IdentityField::Version,
                                  FormatVersion(state.deviceAttributes.VersionNumber));
    }
    if (queries.Ask(HidString::Product, text)) {
        labels.SetIdentityCaption(IdentityField::Product, " " + text);
    }
    if (queries.Ask(HidString::SerialNumber, text)) {
        labels.SetIdentityCaption(IdentityField::SerialNumber, " " + text);
    }
}

void RefreshDevice(HidPlatform& platform, DeviceState& state, IdentityLabels& labels) {
    state.deviceFound = FindTheHid(platform, state);
    ShowDeviceInfo(platform, state, labels);
}

}  // namespace velt
