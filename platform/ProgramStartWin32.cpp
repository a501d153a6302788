#include <windows.h>
// After windows.h, whose types they use.
#include <conio.h>
#include <io.h>

#include <cstdio>

#include "platform/ProgramStart.h"
#include "platform/WindowsText.h"

namespace velt {

namespace {

volatile std::sig_atomic_t signalCount = 0;

// The console runs this on a thread of its own for Ctrl-C and Ctrl-Break, and for the
// console's close, logoff and shutdown.
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        // Windows ends the program once this returns, or after a few seconds at the most:
        // counted as Ctrl-C and held here, a transfer under way gets those seconds to finish
        // (the program's own end comes first when it does).
        signalCount = signalCount + 1;
        Sleep(INFINITE);
        return TRUE;
    }
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    signalCount = signalCount + 1;
    // From the third press on the default action (ending the program) is back.
    return signalCount < 3 ? TRUE : FALSE;
}

}  // namespace

ProgramStart StartProgram(int, char**) {
    ProgramStart start;
    start.args = Utf8Arguments();
    if (!start.args.empty()) {
        start.args.erase(start.args.begin());  // the program's own name
    }
    SetConsoleOutputCP(CP_UTF8);
    start.terminalOut = _isatty(_fileno(stdout)) != 0;
    start.terminalIn = _isatty(_fileno(stdin)) != 0;
    DWORD processes[2];
    start.ownConsole = GetConsoleProcessList(processes, 2) == 1;
    return start;
}

void WaitForKey() {
    _getch();
}

const volatile std::sig_atomic_t* InstallInterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return &signalCount;
}

}  // namespace velt
