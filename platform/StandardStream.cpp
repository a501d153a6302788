#include "platform/StandardStream.h"

namespace velt {

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
