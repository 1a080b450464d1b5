#include "ErrnoText.h"

#include "FileStatus.h"

#include <cstring>

namespace kestrel {

namespace {

// strerror_r comes in two forms: the GNU one returns the text, which may or
// may not be in `buffer`; the POSIX one fills `buffer` and returns 0.
// Windows has strerror_s, of the second kind.
[[maybe_unused]] const char* TextOf(const char* text, const char*) {
    return text;
}

[[maybe_unused]] const char* TextOf(int result, const char* buffer) {
    return result == 0 ? buffer : "Unknown error";
}

const char* OwnText(int error) {
    switch (error) {
    case kReservedNameError:
        return "a reserved device name on Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9), not a file";
    case kDataStreamError:
        return "a ':' in a name makes it an alternate data stream; name the file itself";
    case kSharingViolationError:
        return "in use by another program, which does not let it be read (sharing violation)";
    case kNoDriveError:
        return "no such drive";
    case kNotUtf8NameError:
        return "a name that is not UTF-8 cannot stand on Windows";
    default:
        return nullptr;
    }
}

} // namespace

std::string ErrnoText(int error) {
    if (const char* own = OwnText(error)) {
        return own;
    }
    char buffer[256] = {};
#ifdef _WIN32
    return TextOf(strerror_s(buffer, sizeof buffer, error), buffer);
#else
    return TextOf(strerror_r(error, buffer, sizeof buffer), buffer);
#endif
}

FileStatus FileStatus::FromErrno(int error) {
    return Failure(ErrnoText(error), error);
}

} // namespace kestrel
