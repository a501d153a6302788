#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "update/UpdateListener.h"

namespace velt {

// The programs' exit statuses. The window uses 0, 1 and 2 (cancelled); the command line all
// but kExitCancelled, its 2 being a usage or image error.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUpdateFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 2;
inline constexpr int kExitNoDevice = 3;
inline constexpr int kExitTimedOut = 4;
// Everything else went well, but standard output could not be written (a full disk, a
// reader that went away): what was to be shown is lost.
inline constexpr int kExitOutputLost = 5;
inline constexpr int kExitInterrupted = 130;

// What an update came to, in every form a front end shows it: the window, the terminal,
// --json, --all and --watch all take it from OutcomeOf, so a new error kind or cause is one
// edit there.
struct Outcome {
    int exitStatus = kExitSuccess;   // of a program that ran this one update
    const char* result = "success";  // --json "result": OutcomeName, or "failure"
    const char* error = "";          // --json "error": "record-refused", "cancelled", ...
    const char* heading = "";        // a failure's box title and terminal prefix
    // Why the device did not take the whole image: what happened and what to do (a
    // failure's box, the terminal's failure line, a row of --all and --watch and their
    // --json message). Empty on success.
    std::string reason;
    // The --json message of a single update: a failure's reason, else a few words.
    std::string brief;
    // What the terminal says when a single update was cancelled; `timeoutSeconds` is the
    // bound as the user gave it.
    std::string cancelText;
};
Outcome OutcomeOf(const UpdateResult& result, std::string_view timeoutSeconds = {});
// A failure in a few words, where a sentence does not fit (a production tile): its error
// name as words ("record refused"), how a cancel came about ("timed out"), or why a device
// was never updated. Empty on success.
std::string FewWords(const Outcome& outcome);

// Every way a command ends before or without an update, each a row of the table with its
// exit status, JSON result and error names and heading.
enum class Refusal {
    ImageUnusable,     // the image failed its check (command line)
    ImageMissing,      // the window's image failed its check: its "File Error" box
    ImageDigest,       // the image is not the one --expect-sha256 names
    RecordUnwritable,  // --record's file cannot be written
    NoDevice,          // no device to update
    Unopened,          // one of several devices could not be opened to be updated
    AmbiguousDevice,   // --device names more than one
    Interrupted,       // Ctrl-C while waiting for a device
    Usage,             // the command line itself is wrong
};
// The row of `refusal`, `message` as its reason and brief: what happened and what to do.
Outcome OutcomeOf(Refusal refusal, std::string message);

// One device's exit status once its end is (or is not) in the record: flashed but not
// recorded is not done as asked.
int RecordedStatus(int status, bool unrecorded);
// The exit status of devices updated side by side, from each one's: any failure fails the
// whole, an interrupt first; a missing record entry is said when all else went well.
int CombinedStatus(const std::vector<int>& statuses, bool unrecorded);

}  // namespace velt
