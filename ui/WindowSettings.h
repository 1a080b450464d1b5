#pragma once

namespace kestrel {

class TfrmProc;

// The symbol list window's place, size and filter buttons, kept in the
// user's settings (organization "Brenta", application "Kestrel") under
// "Top", "Left", "Width", "Height", "D", "P", "F", "B".

// Creates the settings file when it is missing, then applies the stored
// values that can be read. A missing value, one that is not an integer, a
// position beyond 32,767 pixels either way and a size that is not positive
// or larger than the desktop (or 32,767) is skipped and leaves the
// window's own.
void RestoreWindowSettings(TfrmProc& form);

// Writes the eight values in order. A value that cannot be written is
// reported ("Failed to set data for '<name>'") and ends the saving there;
// the values before it stay written. Returns false after such a failure.
bool SaveWindowSettings(TfrmProc& form);

} // namespace kestrel
