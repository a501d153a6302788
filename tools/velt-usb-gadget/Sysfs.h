#pragma once

#include <string>

namespace velt::vm {

// Small file helpers for configfs and sysfs attributes. Each returns false and fills
// `error` (when given) with "<path>: <strerror>" on failure.
bool WriteAttribute(const std::string& path, const std::string& value,
                    std::string* error = nullptr);
bool ReadAttribute(const std::string& path, std::string& value, std::string* error = nullptr);
bool MakeDirectory(const std::string& path, std::string* error = nullptr);
// Removes an empty directory or a symlink; a missing path counts as removed.
bool RemovePath(const std::string& path, bool directory, std::string* error = nullptr);

// "0x%04x".
std::string Hex16(unsigned value);

}  // namespace velt::vm
