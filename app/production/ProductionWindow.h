#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velt::production {

// What one tile says. Every state has its words, so that nothing depends on colour alone.
enum class TileState {
    Free,         // no device: the tile waits for one
    Waiting,      // found, waiting for it to come back in its bootloader
    Writing,      // percent tells how far
    Passed,       // green: "PASS"
    Failed,       // red: "FAIL" and the reason in a few words
    AlreadyDone,  // the record (or this session) has it flashed with this image
};

// One device's tile, by the place the station follows it by (line::KeyOf): its location, or
// "serial X" where the system tells none. Texts are UTF-8 and already escaped for display.
struct Tile {
    std::string location;
    std::string serial;         // "-" where the device has none
    std::string versionBefore;  // "1.02"; empty until known
    TileState state = TileState::Free;
    int percent = 0;     // Writing
    std::string reason;  // Failed: a few words
};

// The counters of this session.
struct Counters {
    int passed = 0;
    int failed = 0;
    int alreadyDone = 0;
    std::optional<int> expected;  // marks a shortfall when set
};

// What the operator set up; locked while armed.
struct Setup {
    std::string image;           // the path as chosen
    std::string imageFacts;      // "65,536 bytes, 1,639 records, SHA-256 3f2a…", or why unusable
    std::string expectedSha256;  // empty: none expected
    std::string record;          // empty: no record
    std::string station;
    std::optional<int> expected;
};

// What the production window's logic needs of a window system. Texts are UTF-8.
class ProductionWindow {
  public:
    virtual ~ProductionWindow() = default;

    // The set-up fields as they should read; the view sends edits back as events.
    virtual void ShowSetup(const Setup& setup) = 0;
    // Armed: every set-up field and the image choice locked, "Arm" reads "Disarm".
    // `canArm` enables "Arm" while disarmed (an image that checks out).
    virtual void ShowArmed(bool armed, bool canArm) = 0;
    // All tiles, in a stable order: a tile keeps its place until its device is unplugged.
    virtual void ShowTiles(const std::vector<Tile>& tiles) = 0;
    virtual void ShowCounters(const Counters& counters) = 0;
    // A one-line status under the tiles ("Armed: waiting for Velt-USBs", ...).
    virtual void ShowStatus(const std::string& text) = 0;
    // A message that stays until the operator acknowledges it (modal); returns then.
    virtual void Alert(const std::string& text, const std::string& title) = 0;
    // A yes/no question (modal): true for yes.
    virtual bool Ask(const std::string& question, const std::string& title) = 0;
    // From now on the event loop calls ProductionEvents::OnTimer every `intervalMs`.
    virtual void StartTimer(std::uint32_t intervalMs) = 0;
    // Takes the window away and ends the event loop with `exitStatus`.
    virtual void Close(int exitStatus) = 0;
};

// What the window system calls in the production window's logic, on its own thread.
class ProductionEvents {
  public:
    virtual ~ProductionEvents() = default;
    // Once, before the window is shown.
    virtual void OnLoad() = 0;
    // The operator edited a set-up field (only while disarmed).
    virtual void OnImageChosen(const std::string& path) = 0;
    virtual void OnSetupEdited(const Setup& setup) = 0;
    // "Arm" or "Disarm" clicked.
    virtual void OnArmClicked() = 0;
    virtual void OnTimer() = 0;
    // Close box or window manager; the logic decides when the window closes.
    virtual void OnCloseRequest() = 0;
};

}  // namespace velt::production
