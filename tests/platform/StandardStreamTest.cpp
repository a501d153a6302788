#include <gtest/gtest.h>

#include <string>

#include "platform/StandardStream.h"

namespace velt {
namespace {

// The steps as text: shown parts as they are, moves as [up N] and [clear].
std::string Described(std::string_view text) {
    std::string described;
    for (const ConsoleStep& step : ConsoleSteps(text)) {
        switch (step.kind) {
            case ConsoleStep::Kind::Show:
                described += step.text;
                break;
            case ConsoleStep::Kind::LinesUp:
                described += "[up " + std::to_string(step.lines) + "]";
                break;
            case ConsoleStep::Kind::ClearBelow:
                described += "[clear]";
                break;
        }
    }
    return described;
}

TEST(ConsoleStepsTest, TheBoardsRedrawBecomesConsoleMovesAndEveryOtherByteStaysText) {
    EXPECT_EQ(Described("\x1b[2F\x1b[J1-1 ВУ-000123: 10%\n1-2: 20%\n"),
              "[up 2][clear]1-1 ВУ-000123: 10%\n1-2: 20%\n");
    EXPECT_EQ(Described("a\x1b[F\x1b[0Jb\x1b[12F"), "a[up 1][clear]b[up 12]");
    // Not the board's: shown as they are, cut-off ones included.
    for (const char* text : {"\x1b[2J", "\x1b[1J", "\x1b[31m", "\x1b[", "x\x1b[3", "\x1b"}) {
        EXPECT_EQ(Described(text), text);
    }
    EXPECT_TRUE(ConsoleSteps("").empty());
}

}  // namespace
}  // namespace velt
