#include "cli/DetachedOutput.h"

#include <system_error>

namespace velt::cli {

DetachedOutput::DetachedOutput(std::ostream& out, std::ostream& err, std::size_t lagLimit)
    : lagLimit_(lagLimit),
      outLines_(*this, out),
      errLines_(*this, err),
      outStream_(&outLines_),
      errStream_(&errLines_) {}

DetachedOutput::~DetachedOutput() {
    outLines_.HandOn();
    errLines_.HandOn();
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable()) {
        writer_.join();
    }
}

void DetachedOutput::Detach() {
    const std::lock_guard lock(mutex_);
    if (detached_) {
        return;
    }
    try {
        writer_ = std::thread([this] { WriteLoop(); });
        detached_ = true;
    } catch (const std::system_error&) {
        // Without a thread of its own, output keeps waiting for its reader: slower, not lost.
    }
}

void DetachedOutput::Submit(std::ostream& target, std::string text, bool progress) {
    if (text.empty()) {
        return;
    }
    std::unique_lock lock(mutex_);
    if (!detached_) {
        lock.unlock();
        const std::lock_guard writing(writing_);
        target.write(text.data(), static_cast<std::streamsize>(text.size())).flush();
        return;
    }
    if (progress && pendingBytes_ > lagLimit_) {
        return;  // merged: the reader lags, and a later report says more
    }
    pendingBytes_ += text.size();
    pending_.push_back({&target, std::move(text), progress});
    lock.unlock();
    changed_.notify_all();
}

void DetachedOutput::WriteLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return !pending_.empty() || stop_; });
        if (pending_.empty()) {
            return;  // stopped, and everything written
        }
        // Whatever waits for the same target goes in one write.
        std::ostream* const target = pending_.front().target;
        std::string text;
        while (!pending_.empty() && pending_.front().target == target) {
            text += pending_.front().text;
            pendingBytes_ -= pending_.front().text.size();
            pending_.pop_front();
        }
        lock.unlock();
        {
            const std::lock_guard writing(writing_);
            target->write(text.data(), static_cast<std::streamsize>(text.size())).flush();
        }
        lock.lock();
    }
}

void DetachedOutput::Lines::HandOn() {
    std::string text;
    {
        const std::lock_guard lock(mutex_);
        text.swap(partial_);
    }
    owner_.Submit(target_, std::move(text), false);
}

void DetachedOutput::Lines::Progress(const std::string& text) {
    // What was written before it goes first, whole.
    const std::lock_guard lock(mutex_);
    owner_.Submit(target_, std::move(partial_), false);
    partial_.clear();
    owner_.Submit(target_, text, true);
}

DetachedOutput::Lines::int_type DetachedOutput::Lines::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char byte = traits_type::to_char_type(c);
    xsputn(&byte, 1);
    return c;
}

std::streamsize DetachedOutput::Lines::xsputn(const char* text, std::streamsize count) {
    const std::lock_guard lock(mutex_);
    partial_.append(text, static_cast<std::size_t>(count));
    // Whole lines go on at once; the rest waits for its end or a flush.
    const std::size_t end = partial_.rfind('\n');
    if (end != std::string::npos) {
        std::string rest = partial_.substr(end + 1);
        partial_.resize(end + 1);
        owner_.Submit(target_, std::move(partial_), false);
        partial_ = std::move(rest);
    }
    return count;
}

int DetachedOutput::Lines::sync() {
    // A question waiting for its answer, a line being redrawn: shown as it is.
    const std::lock_guard lock(mutex_);
    owner_.Submit(target_, std::move(partial_), false);
    partial_.clear();
    return 0;
}

void WriteProgress(std::ostream& out, const std::string& text) {
    if (auto* lines = dynamic_cast<DetachedOutput::Lines*>(out.rdbuf())) {
        lines->Progress(text);
    } else {
        out << text << std::flush;
    }
}

}  // namespace velt::cli
