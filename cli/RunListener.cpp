#include "cli/RunListener.h"

namespace velt::cli {

void RunListener::OnPhase(UpdatePhase phase) {
    switch (phase) {
        case UpdatePhase::SwitchingToBootloader:
            board_.Update(row_, "switching to bootloader");
            break;
        case UpdatePhase::WaitingForDevice:
            board_.Update(row_, "waiting for the bootloader");
            break;
        case UpdatePhase::Transferring:
            rule_.TransferStarted();
            transferStartMs_ = clock_.NowMs();
            break;
        case UpdatePhase::Finishing:
            board_.Update(row_, "finishing");
            break;
        case UpdatePhase::CheckingImage:
            break;
    }
}

void RunListener::OnProgress(int sent, int total) {
    if (const auto drawing = pace_.Next(sent, total, clock_.NowMs() - transferStartMs_)) {
        const std::string& text = drawing->text;
        board_.Update(row_, "updating firmware " + text.substr(text.find_first_not_of(' ')),
                      drawing->tenth ? DeviceBoard::Change::Tenth : DeviceBoard::Change::Between);
    }
}

std::optional<CancelCause> RunListener::ShouldStop() {
    const StopRule::Decision decision = rule_.Check();
    board_.Notice(decision.notice);
    return decision.stop;
}

}  // namespace velt::cli
