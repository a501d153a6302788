#include <windows.h>
// After windows.h, whose types they use.
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "cli/ProgramStart.h"

namespace velt::cli {

namespace {

volatile std::sig_atomic_t signalCount = 0;

// The console runs this on a thread of its own for Ctrl-C.
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT) {
        return FALSE;
    }
    signalCount = signalCount + 1;
    // From the third press on the default action (ending the program) is back.
    return signalCount < 3 ? TRUE : FALSE;
}

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) {
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    }
    return out;
}

}  // namespace

// argv holds the arguments in the ANSI code page, which cannot spell every file name: the
// wide command line can.
ProgramStart StartProgram(int, char**) {
    ProgramStart start;
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) {
            start.args.push_back(Utf8(wide[i]));
        }
        LocalFree(wide);
    }
    SetConsoleOutputCP(CP_UTF8);
    start.terminalOut = _isatty(_fileno(stdout)) != 0;
    start.terminalIn = start.terminalOut && _isatty(_fileno(stdin)) != 0;
    return start;
}

const volatile std::sig_atomic_t* InstallInterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return &signalCount;
}

}  // namespace velt::cli
