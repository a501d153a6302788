#pragma once

namespace velt {

// What the window programs do for the scripts that run them.

// Output already redirected (a pipe, a file) stays where it is; otherwise it goes to the
// console the program was started from, if any. A windows program has none of its own.
void ConnectConsole();

// Answers the thread's next message box once it has been up for `milliseconds`: OK, or Yes
// in a yes/no box, as an unattended run means to go on.
void AnswerMessageBoxAfter(unsigned milliseconds);

}  // namespace velt
