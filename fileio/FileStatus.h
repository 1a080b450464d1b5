#pragma once

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

namespace kestrel {

// How an operation on a file ended: success, or a failure with a message for
// the user and the errno behind it. The errno is 0 where no system call
// failed (a folder where a file was wanted); ECANCELED marks an operation
// the user stopped, which needs no message box. Plain C++, shared by every
// program; a Qt caller turns the message into a QString where it shows it.
class FileStatus {
public:
    FileStatus() = default; // success

    static FileStatus Failure(std::string message, int error = 0) {
        FileStatus status;
        status.failed_ = true;
        status.errno_ = error;
        status.message_ = std::move(message);
        return status;
    }
    // The system's text for `error` ("No such file or directory").
    static FileStatus FromErrno(int error);
    // The user stopped it.
    static FileStatus Cancel(std::string message) { return Failure(std::move(message), ECANCELED); }

    explicit operator bool() const { return !failed_; }
    bool Cancelled() const { return failed_ && errno_ == ECANCELED; }
    int Errno() const { return errno_; }
    const std::string& Message() const { return message_; }

    // Adds `more` to the end of a failure's message.
    FileStatus& Append(std::string_view more) {
        message_ += more;
        return *this;
    }

private:
    bool failed_ = false;
    int errno_ = 0;
    std::string message_;
};

} // namespace kestrel
