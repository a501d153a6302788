#include "platform/StandardStream.h"

namespace velt {

std::vector<ConsoleStep> ConsoleSteps(std::string_view text) {
    std::vector<ConsoleStep> steps;
    std::size_t shown = 0;  // where the text not yet in a step starts
    for (std::size_t at = text.find("\x1b["); at != text.npos; at = text.find("\x1b[", at + 1)) {
        std::size_t end = at + 2;
        int lines = 0;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9' && lines < 10000) {
            lines = lines * 10 + (text[end++] - '0');
        }
        // ESC [ 1 J and ESC [ 2 J clear above or all: not the board's, left as text.
        if (end >= text.size() || (text[end] != 'F' && !(text[end] == 'J' && lines == 0))) {
            continue;
        }
        if (at > shown) {
            steps.push_back({ConsoleStep::Kind::Show, text.substr(shown, at - shown)});
        }
        if (text[end] == 'F') {
            steps.push_back({ConsoleStep::Kind::LinesUp, {}, lines == 0 ? 1 : lines});
        } else {
            steps.push_back({ConsoleStep::Kind::ClearBelow, {}, 0});
        }
        shown = end + 1;
    }
    if (shown < text.size()) {
        steps.push_back({ConsoleStep::Kind::Show, text.substr(shown)});
    }
    return steps;
}

StandardStreamBuffer::int_type StandardStreamBuffer::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        pending_ += traits_type::to_char_type(c);
    }
    return traits_type::not_eof(c);
}

std::streamsize StandardStreamBuffer::xsputn(const char* text, std::streamsize count) {
    pending_.append(text, static_cast<std::size_t>(count));
    return count;
}

int StandardStreamBuffer::sync() {
    if (pending_.empty()) {
        return 0;
    }
    const bool written = WriteStandard(stream_, pending_);
    pending_.clear();
    return written ? 0 : -1;
}

}  // namespace velt
