#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <sstream>
#include <string>

#include "cli/DetachedOutput.h"

namespace velt::cli {
namespace {

// A reader that takes nothing until it is let go, as a paused terminal or a full pipe.
struct HeldReader final : std::stringbuf {
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        std::unique_lock lock(mutex);
        ++waiting;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
        return std::stringbuf::xsputn(text, count);
    }
    void Release() {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    void AwaitWriter() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return waiting > 0; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    int waiting = 0;
};

TEST(DetachedOutputTest, WhileTheReaderLagsOnlyProgressIsMergedAndLinesStayWholeInOrder) {
    HeldReader held;
    std::ostream slow(&held);
    std::ostringstream err;
    {
        DetachedOutput output(slow, err, 1000);
        output.Detach();
        output.out() << "first" << std::endl;
        held.AwaitWriter();  // the writer is stuck with "first"
        // Writing goes on at once: a transfer reporting its progress never waits.
        for (int i = 0; i < 10'000; ++i) {
            WriteProgress(output.out(), "progress " + std::to_string(i) + "\n");
            if (i % 1000 == 0) {
                output.out() << "line " << i << " in ";
                output.err() << "error " << i << std::endl;
                output.out() << "two pieces" << std::endl;
            }
        }
        output.out() << std::string(5000, 'x') << std::endl;  // longer than the limit
        output.out() << "no end";
        held.Release();
    }
    const std::string text = held.str();
    std::size_t at = text.find("first\n");
    for (int i = 0; i < 10'000; i += 1000) {
        at = text.find("line " + std::to_string(i) + " in two pieces\n", at);
        EXPECT_NE(at, std::string::npos) << i;
        EXPECT_NE(err.str().find("error " + std::to_string(i) + "\n"), std::string::npos);
    }
    EXPECT_TRUE(text.ends_with(std::string(5000, 'x') + "\nno end"));
    // Reports were merged away, but not the first ones, written before the lag was known.
    EXPECT_NE(text.find("progress 0\n"), std::string::npos);
    EXPECT_EQ(text.find("progress 9999\n"), std::string::npos);
}

}  // namespace
}  // namespace velt::cli
