// Crash-safe brightness: the panel is never left dimmed by a process that died.
//
// While a process holds the panel at a brightness of its own, a record in the user's profile
// (the value "<process id>-<creation time>" under <profile key>\restore_brightness, see
// brightness/restore_record.h) says what puts it back: the brightness the controller captured
// when it was made, or re-applying the active power scheme when it captured none.
//
//   StartBrightnessRestore(app.ProfileKeyPath());   // first thing at start-up, in every mode
//
//   {
//       BrightnessChangeGuard guard(controller);     // the record is written
//       controller.ApplyBrightness(level, level, policy);
//       ...                                          // a crash here puts the brightness back
//       controller.RestoreBrightness();              // or whatever puts it back
//   }                                                // the record is cleared
//
// A guard is made before the first change and destroyed only once the brightness is back; the
// saver's dimmer holds one for its controller's life, a preview holds one for the preview. A
// guard that could not write its record refuses the change (AllowsChange): a change without a
// record could outlive the process.
//
// Should the process die in between, the first guard has started a hidden copy of the program
// (RunRestoreWatch) that waits on this process's handle and puts the record back as soon as the
// process is gone, however it ended: killed, aborted, a stack overflow, a fail-fast. An
// unhandled exception wakes it at once through an event; the exception filter does nothing
// else, since the failing thread may hold the heap or loader lock (without a watcher it sends a
// request prepared beforehand on a device handle opened beforehand). Should the watcher not run
// either, the record stays for the next start of the program to put back. Only levels from the
// panel's own table are set from a record; anything else goes back through the power scheme.
#pragma once

#include "brightness/brightness_controller.h"

#include <string>

#include "brightness/restore_record.h"

namespace dp {

// Puts back and clears the records of processes that no longer run (a record of a running
// process is left alone), then makes an unhandled exception in this process put the brightness
// back from this process's record. Call once, before anything touches the brightness. Without
// this call guards write nothing.
void StartBrightnessRestore(const std::wstring& profileKeyPath);

class BrightnessChangeGuard {
public:
    // Writes this process's record from the controller's captured brightness. Does nothing for a
    // controller without backlight control, unless forMonitors: external monitors are about to
    // change, and their readings need a record to go in (one that puts the panel back through
    // the active power scheme). A second guard alive at the same time in the same process keeps
    // the first one's record, which holds the brightness from before any change.
    explicit BrightnessChangeGuard(const BrightnessController& controller,
                                   bool forMonitors = false);
    // False when a record was due and could not be written: the caller must not change the
    // brightness then.
    bool AllowsChange() const { return !refused_; }
    // Clears the record once the last guard of the process goes.
    ~BrightnessChangeGuard();

    BrightnessChangeGuard(const BrightnessChangeGuard&) = delete;
    BrightnessChangeGuard& operator=(const BrightnessChangeGuard&) = delete;

private:
    bool holds_ = false;
    bool refused_ = false;
};

// Adds an external monitor's brightness from before its first change to this process's record,
// so that a process that dies with the monitor dimmed has it put back too. False when the record
// could not be written: the monitor must not be changed then. True without a record to keep (no
// StartBrightnessRestore in this process).
bool RecordMonitorBrightness(std::size_t index, std::uint32_t value);

// The hidden watcher's whole work (the program's "/~brightness-watch" form): waits until the
// watched process ends or reports a failure, then puts back its record if it is still there and
// clears it. Returns the exit code.
int RunRestoreWatch(const RestoreWatchCommand& command, const std::wstring& profileKeyPath);

} // namespace dp
