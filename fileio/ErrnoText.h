#pragma once

#include <string>

namespace kestrel {

// Failures that errno has no value for, which the Windows build meets. They
// travel where an errno value does, and ErrnoText words them.
inline constexpr int kReservedNameError = 100001;     // CON, NUL.pas: a device
inline constexpr int kDataStreamError = 100002;       // Unit1.pas:zone
inline constexpr int kSharingViolationError = 100003; // another program has it locked
inline constexpr int kNoDriveError = 100004;          // no drive of that letter
inline constexpr int kNotUtf8NameError = 100005;      // a name Windows cannot hold

// The system's text for an errno value ("No such file or directory"), or
// ours for the values above. Safe to call from several threads at once,
// unlike strerror.
std::string ErrnoText(int error);

} // namespace kestrel
