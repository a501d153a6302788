#include "cli/DetachedOutput.h"

#include <system_error>

namespace velt::cli {

DetachedOutput::DetachedOutput(std::ostream& target, std::size_t limit)
    : target_(target), limit_(limit) {}

DetachedOutput::~DetachedOutput() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        if (!writer_.joinable()) {
            return;
        }
    }
    changed_.notify_all();
    writer_.join();
}

void DetachedOutput::StartLocked() {
    if (writer_.joinable()) {
        return;
    }
    try {
        writer_ = std::thread([this] { Write(); });
    } catch (const std::system_error&) {
        // Without a thread nothing reaches the target; the loss is said at the end.
        pending_.clear();
        target_.setstate(std::ios::failbit);
    }
}

void DetachedOutput::Drain() {
    std::unique_lock lock(mutex_);
    if (!writer_.joinable()) {
        return;  // nothing was ever written
    }
    flushAsked_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return pending_.empty() && !writing_; });
}

DetachedOutput::int_type DetachedOutput::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char byte = traits_type::to_char_type(c);
    xsputn(&byte, 1);
    return c;
}

std::streamsize DetachedOutput::xsputn(const char* text, std::streamsize count) {
    {
        const std::lock_guard lock(mutex_);
        if (pending_.size() + static_cast<std::size_t>(count) > limit_) {
            dropped_ = true;
        } else {
            pending_.append(text, static_cast<std::size_t>(count));
        }
        StartLocked();
    }
    // Taken up at once: a line without its end still reaches a terminal promptly.
    changed_.notify_all();
    return count;
}

int DetachedOutput::sync() {
    {
        const std::lock_guard lock(mutex_);
        flushAsked_ = true;
    }
    changed_.notify_all();
    return 0;
}

void DetachedOutput::Write() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return !pending_.empty() || flushAsked_ || stop_ || dropped_; });
        if (pending_.empty() && !flushAsked_ && !dropped_ && stop_) {
            return;
        }
        std::string text;
        text.swap(pending_);
        const bool dropped = dropped_;
        flushAsked_ = false;
        writing_ = true;
        lock.unlock();
        target_ << text << std::flush;
        if (dropped) {
            target_.setstate(std::ios::failbit);
        }
        lock.lock();
        writing_ = false;
        dropped_ = dropped_ && !dropped;
        changed_.notify_all();
        if (stop_ && pending_.empty()) {
            return;
        }
    }
}

}  // namespace velt::cli
