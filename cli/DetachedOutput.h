#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>

namespace velt::cli {

// A stream buffer that hands what is written to a thread of its own, which writes it on to
// `target`. A terminal or pipe that is slow, paused (a console selection) or full then
// holds back only that thread, never the update that reports its progress: writing never
// waits for the target. Should the target stay blocked until more than `limit` bytes wait,
// later output is dropped and the target marked failed, so the loss is said at the end.
// The thread starts at the first write: a stream that nothing reaches (standard
// error, in most runs) costs none.
class DetachedOutput final : public std::streambuf {
  public:
    explicit DetachedOutput(std::ostream& target, std::size_t limit = 4u << 20);
    // Waits until everything written has reached the target.
    ~DetachedOutput() override;
    DetachedOutput(const DetachedOutput&) = delete;
    DetachedOutput& operator=(const DetachedOutput&) = delete;

    // Waits until everything written so far has reached the target (and been flushed).
    void Drain();

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    // With mutex_ held.
    void StartLocked();
    void Write();

    std::ostream& target_;
    const std::size_t limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string pending_;
    bool flushAsked_ = false;
    bool writing_ = false;
    bool dropped_ = false;
    bool stop_ = false;
    std::thread writer_;
};

}  // namespace velt::cli
