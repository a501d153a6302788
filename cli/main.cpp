// The command-line flasher: the window's update, driven from a terminal or a script.
#include <cstdio>
#include <iostream>

#include "cli/Cli.h"
#include "cli/Interrupts.h"
#include "device/PlatformBackend.h"
#include "platform/ProgramStart.h"

int main(int argc, char** argv) {
    // The output layer hands on whole lines: each goes out in one write, never split at the
    // C library's buffer size.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const velt::ProgramStart start = velt::StartProgram(argc, argv);
    velt::cli::Interrupts interrupts(velt::InstallInterruptHandler());
    velt::SteadyClock clock;
    const auto backend = velt::MakePlatformBackend();
    const auto monitor = velt::MakePlatformMonitor();
    velt::cli::CliEnvironment environment{
        clock, *backend, interrupts, start.terminalIn, start.terminalOut, monitor.get()};
    return velt::cli::RunCli(start.args, {std::cin, std::cout, std::cerr}, environment);
}
