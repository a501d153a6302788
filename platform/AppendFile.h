#pragma once

#include <string>
#include <string_view>

namespace velt {

// Appends `line` (ending with a line feed) to the file at `path`, creating the file if it
// is not there, in one write, and returns once the system says it is on disk. Processes
// appending to one file at once never interleave within a line. When the file does not end
// with a line feed (a line cut off by a power failure), a line feed goes first, so the new
// line stays whole. Returns the system's words for a failure, or an empty string. One
// implementation per platform.
std::string AppendLineDurably(const std::string& path, std::string_view line);

}  // namespace velt
