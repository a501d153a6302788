// The command-line flasher: the window's update, driven from a terminal or a script.
#include <iostream>

#include "cli/Cli.h"
#include "cli/Interrupts.h"
#include "cli/ProgramStart.h"
#include "device/PlatformBackend.h"

int main(int argc, char** argv) {
    const velt::cli::ProgramStart start = velt::cli::StartProgram(argc, argv);
    velt::cli::Interrupts interrupts(velt::cli::InstallInterruptHandler());
    velt::SteadyClock clock;
    const auto backend = velt::MakePlatformBackend();
    const auto monitor = velt::MakePlatformMonitor();
    velt::cli::CliEnvironment environment{
        clock, *backend, interrupts, start.terminalIn, start.terminalOut, monitor.get()};
    return velt::cli::RunCli(start.args, {std::cin, std::cout, std::cerr}, environment);
}
