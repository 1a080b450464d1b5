#include "ErrnoText.h"

#include "FileStatus.h"

#include <cstring>

namespace kestrel {

namespace {

// strerror_r comes in two forms: the GNU one returns the text, which may or
// may not be in `buffer`; the POSIX one fills `buffer` and returns 0.
[[maybe_unused]] const char* TextOf(const char* text, const char*) {
    return text;
}

[[maybe_unused]] const char* TextOf(int result, const char* buffer) {
    return result == 0 ? buffer : "Unknown error";
}

} // namespace

std::string ErrnoText(int error) {
    char buffer[256] = {};
    return TextOf(strerror_r(error, buffer, sizeof buffer), buffer);
}

FileStatus FileStatus::FromErrno(int error) {
    return Failure(ErrnoText(error), error);
}

} // namespace kestrel
