#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>

namespace velt::cli {

// The program's standard output and error, as two streams that hand on whole lines, in the
// order they were written across both, each line in one write: a message on one stream
// never lands inside a line of the other.
//
// At first writing waits for the target, so that a command that transfers nothing (a
// listing, a history) hands a slow reader everything. Once detached, lines reach the
// targets from a thread of its own, so that a terminal or pipe that is slow, paused (a
// console selection) or full holds back only that thread, never the update that reports
// its progress. While more than `lagLimit` bytes wait, progress (WriteProgress) is merged
// away, since a later report says more; every other line waits its turn, however long.
class DetachedOutput {
  public:
    DetachedOutput(std::ostream& out, std::ostream& err, std::size_t lagLimit = 1u << 20);
    // Hands on what is left, a line without its end included, and waits until it is written.
    ~DetachedOutput();
    DetachedOutput(const DetachedOutput&) = delete;
    DetachedOutput& operator=(const DetachedOutput&) = delete;

    std::ostream& out() { return outStream_; }
    std::ostream& err() { return errStream_; }
    // From now on writing never waits for a target.
    void Detach();

  private:
    // Collects one stream's text until a line ends or the stream is flushed.
    class Lines final : public std::streambuf {
      public:
        Lines(DetachedOutput& owner, std::ostream& target) : owner_(owner), target_(target) {}
        void Progress(const std::string& text);
        void HandOn();

      protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int sync() override;

      private:
        DetachedOutput& owner_;
        std::ostream& target_;
        std::mutex mutex_;
        std::string partial_;
    };
    friend void WriteProgress(std::ostream& out, const std::string& text);

    struct Item {
        std::ostream* target;
        std::string text;
        bool progress;
    };
    void Submit(std::ostream& target, std::string text, bool progress);
    void WriteLoop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> pending_;
    std::size_t pendingBytes_ = 0;
    const std::size_t lagLimit_;
    bool detached_ = false;
    bool stop_ = false;
    // Held while a target is written, so that lines never mix and keep their order.
    std::mutex writing_;
    std::thread writer_;
    Lines outLines_;
    Lines errLines_;
    std::ostream outStream_;
    std::ostream errStream_;
};

// Writes a progress report (a redrawn line, a tenth, a progress object) that a later one
// makes stale: through a DetachedOutput it may be merged away while the reader lags;
// anywhere else it is written as is.
void WriteProgress(std::ostream& out, const std::string& text);

}  // namespace velt::cli
