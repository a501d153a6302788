#pragma once

#include <csignal>
#include <string>
#include <vector>

namespace velt {

// What the program takes from its platform when it starts.
struct ProgramStart {
    std::vector<std::string> args;  // without the program name, UTF-8
    bool terminalIn = false;        // standard input is a terminal
    bool terminalOut = false;       // standard output is a terminal
    // The program is alone in a console that closes when it ends: it was started from the
    // file manager, not from a prompt.
    bool ownConsole = false;
};

// Reads the arguments as UTF-8 and whether the standard streams are terminals; where the
// console has a code page of its own, switches it to UTF-8. One implementation per
// platform.
ProgramStart StartProgram(int argc, char** argv);

// Waits until a key is pressed on the console, so that what it shows can be read before
// it closes.
void WaitForKey();

// Installs the Ctrl-C handler and returns its counter; SIGTERM and SIGHUP (Ctrl-Break on
// Windows) count as Ctrl-C, and a closed pipe or a file grown past its size limit makes a
// write fail rather than end the program. A prompt blocked in a read returns on Ctrl-C; from the
// third press on the default action is back, so a hung call can still be killed. One implementation
// per platform.
const volatile std::sig_atomic_t* InstallInterruptHandler();

}  // namespace velt
