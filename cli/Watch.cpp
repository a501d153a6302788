#include "cli/Watch.h"

#include "cli/LineView.h"
#include "cli/Text.h"
#include "line/FlashRecord.h"
#include "line/Watch.h"

namespace velt::cli {

int WatchAndFlash(Session& session, const FlashOptions& options, const ImageLoad& image,
                  JsonEvents& json) {
    if (session.monitor == nullptr) {
        session.io.err << kProgram << ": --watch is not available on this platform" << std::endl;
        return kExitUsage;
    }
    if (!ConfirmFlash(session, options, *image.image, "every Velt-USB plugged in")) {
        return kExitInterrupted;
    }
    LineView view(session, options, json);
    line::ProductionLine line(session.backend, session.clock, image, session.recorder, view);
    line::Watch watch(line, view, {options.newOnly, options.again});
    if (const line::RecordRead read = watch.ReadRecord();
        read.status != line::RecordRead::Status::Ok) {
        session.io.err << kProgram << ": the record " << Printable(session.recorder->path())
                       << " cannot be read: " << read.error << std::endl;
        return kExitUsage;
    }
    view.board().Message(options.newOnly
                             ? "Watching for Velt-USBs plugged in from now on; Ctrl-C stops."
                             : "Watching for Velt-USBs; Ctrl-C stops.");
    watch.Run(*session.monitor);
    if (line.Unrecorded()) {
        view.board().Message("The watch stops: no Velt-USB is flashed without its record.", true);
    }
    if (line.Running()) {
        view.board().Message("Stopping the watch once the devices at work are done.");
    }
    return view.Finish(line);
}

}  // namespace velt::cli
