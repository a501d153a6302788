#include "cli/Session.h"

#include <algorithm>
#include <cctype>

namespace velt::cli {

bool AskYes(Session& session, const std::string& question) {
    const int pressed = session.interrupts.Count();
    session.out << question << " [y/N] " << std::flush;
    std::string answer;
    const bool read = static_cast<bool>(std::getline(session.io.in, answer));
    if (!read || session.interrupts.Count() > pressed) {
        session.out << std::endl;
        return false;
    }
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return answer == "y" || answer == "yes";
}

}  // namespace velt::cli
