#pragma once

#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace velt {

// Which of the program's standard streams.
enum class StandardStream { Out, Err };

// Writes `text`, UTF-8, to the standard stream in one call: to a console as UTF-16 through
// the console's own call, so that every character shows as it is whatever the console's
// code page; to a pipe or a file as it is. False when it could not be written whole. One
// implementation per platform.
bool WriteStandard(StandardStream stream, std::string_view text);

// What a console is told to do for a text: show a part of it, or carry out one of the two
// escape codes that redraw lines in place, which a console may otherwise show as text
// (those before Windows 10, wine's): move to the start of the line `lines` up (ESC [ n F),
// or clear from there to the end (ESC [ J). Any other escape stays text. Shared by the
// implementations, so that it is tested everywhere.
struct ConsoleStep {
    enum class Kind { Show, LinesUp, ClearBelow };
    Kind kind = Kind::Show;
    std::string_view text;  // Show
    int lines = 0;          // LinesUp
};
std::vector<ConsoleStep> ConsoleSteps(std::string_view text);

// A stream buffer over WriteStandard: what is written between two flushes goes out in one
// call, so that two streams sharing a console never mix within what either flushed.
class StandardStreamBuffer final : public std::streambuf {
  public:
    explicit StandardStreamBuffer(StandardStream stream) : stream_(stream) {}
    ~StandardStreamBuffer() override { sync(); }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    StandardStream stream_;
    std::string pending_;
};

}  // namespace velt
