// The command-line flasher: the window's update, driven from a terminal or a script.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Interrupts.h"
#include "device/hidraw/HidrawBackend.h"

int main(int argc, char** argv) {
    velt::cli::Interrupts interrupts(velt::cli::InstallInterruptHandler());
    velt::SteadyClock clock;
    velt::HidrawBackend backend;
    velt::cli::CliEnvironment environment{clock, backend, interrupts,
                                          isatty(STDIN_FILENO) && isatty(STDOUT_FILENO),
                                          isatty(STDOUT_FILENO) != 0};
    const std::vector<std::string> args(argv + 1, argv + argc);
    return velt::cli::RunCli(args, {std::cin, std::cout, std::cerr}, environment);
}
