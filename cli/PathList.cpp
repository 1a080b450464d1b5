#include "PathList.h"

#include "ErrnoText.h"
#include "OpenFile.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kestrel {

namespace {

constexpr size_t kBufferBytes = size_t{64} << 10;
// A line holds a name and perhaps a CR.
constexpr size_t kLongestLine = PathList::kLongestName + 1;

std::string TooLong() {
    return "longer than the longest path (" + std::to_string(PathList::kLongestName) + " bytes)";
}

} // namespace

PathList::PathList(std::string name) : name_(std::move(name)) {}

PathList::~PathList() {
    if (fd_ > STDIN_FILENO) {
        ::close(fd_);
    }
}

bool PathList::Refill() {
    if (begin_ != end_) {
        return true;
    }
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_.get(), kBufferBytes);
        if (n > 0) {
            begin_ = 0;
            end_ = static_cast<size_t>(n);
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            readError_ = ErrnoText(errno);
        }
        return false;
    }
}

std::string PathList::LinePlace() const {
    return name_ + ", line " + std::to_string(lineNumber_);
}

bool PathList::TakeLine(std::string& path, std::string& error) {
    ++lineNumber_;
    if (!line_.empty() && line_.back() == '\r') {
        line_.pop_back();
    }
    if (line_.empty()) {
        return false;
    }
    if (line_.size() > kLongestName) {
        path = LinePlace();
        error = TooLong();
    } else if (line_.find('\0') != std::string::npos) {
        // The system would open the name before the NUL: not what the line says.
        path = LinePlace();
        error = "a name cannot hold a NUL byte";
    } else {
        path = line_;
    }
    line_.clear();
    return true;
}

bool PathList::Next(std::string& path, std::string& error) {
    if (!opened_) {
        opened_ = true;
        fd_ = name_ == "-" ? STDIN_FILENO : OpenForReading(name_, true);
        if (fd_ < 0) {
            ended_ = true;
            path = name_;
            error = ErrnoText(errno);
            return true;
        }
        buffer_ = std::make_unique<char[]>(kBufferBytes);
        line_.reserve(kLongestLine);
    }
    while (!ended_) {
        if (!Refill()) {
            ended_ = true;
            if (!readError_.empty()) {
                path = name_;
                error = readError_;
                return true;
            }
            // The last line may lack its line feed.
            if (!skipping_ && TakeLine(path, error)) {
                return true;
            }
            break;
        }
        const char* start = buffer_.get() + begin_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
        const size_t length =
            newline != nullptr ? static_cast<size_t>(newline - start) : end_ - begin_;
        begin_ += newline != nullptr ? length + 1 : length;
        if (skipping_) {
            skipping_ = newline == nullptr;
            continue;
        }
        if (line_.size() + length > kLongestLine) {
            // Said at once, and the rest of the line passed over: an endless
            // line is reported before it is read to its end.
            line_.clear();
            skipping_ = newline == nullptr;
            ++lineNumber_;
            path = LinePlace();
            error = TooLong();
            return true;
        }
        line_.append(start, length);
        if (newline != nullptr && TakeLine(path, error)) {
            return true;
        }
    }
    return false;
}

} // namespace kestrel
