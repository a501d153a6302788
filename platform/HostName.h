#pragma once

#include <string>

namespace velt {

// This computer's name as the network knows it, UTF-8; empty when the system will not say.
// One implementation per platform.
std::string HostName();

}  // namespace velt
