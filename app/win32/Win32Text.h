#pragma once

#include <string>

#include "platform/WindowsText.h"

namespace velt {

// The folder the running program lies in, UTF-8, without a trailing separator.
std::string ProgramFolder();

}  // namespace velt
