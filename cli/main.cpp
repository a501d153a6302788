// The command-line flasher: the window's update, driven from a terminal or a script.
#include <iostream>

#include "cli/Cli.h"
#include "device/PlatformBackend.h"
#include "platform/ProgramStart.h"
#include "platform/StandardStream.h"

int main(int argc, char** argv) {
    const velt::ProgramStart start = velt::StartProgram(argc, argv);
    // Whole pieces in one call each, and on a console every character as it is.
    velt::StandardStreamBuffer outBuffer(velt::StandardStream::Out);
    velt::StandardStreamBuffer errBuffer(velt::StandardStream::Err);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    if (start.ownConsole && start.args.empty()) {
        // Opened from the file manager: its console would close before a word could be read.
        out << "velt-usb-flash is a command-line program. Open a command prompt in its folder "
               "and run:\n\n    velt-usb-flash --help\n\nPress a key to close this window."
            << std::flush;
        velt::WaitForKey();
        return velt::kExitUsage;
    }
    velt::line::Interrupts interrupts(velt::InstallInterruptHandler());
    velt::SteadyClock clock;
    const auto backend = velt::MakePlatformBackend();
    const auto monitor = velt::MakePlatformMonitor();
    velt::cli::CliEnvironment environment{
        clock, *backend, interrupts, start.terminalIn, start.terminalOut, monitor.get()};
    return velt::cli::RunCli(start.args, {std::cin, out, err}, environment);
}
