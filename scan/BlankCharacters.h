#pragma once

namespace kestrel {

// What the classifier counts as blank: every character of code 0x20 or
// below (blanks, tabs, line ends, control characters).
inline bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

} // namespace kestrel
