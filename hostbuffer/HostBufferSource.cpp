#include "HostBufferSource.h"

#include "SourceMarks.h"

namespace kestrel {

HostBufferSource::HostBufferSource(std::string_view fileBytes) : file_(fileBytes) {
    StripByteOrderMark(file_);
}

bool HostBufferSource::Peek(char& c) const {
    if (filePosition_ >= file_.size()) {
        return false;
    }
    c = (!carriageServed_ && IsBareLineFeed(filePosition_)) ? '\r' : file_[filePosition_];
    return true;
}

bool HostBufferSource::Step() {
    if (filePosition_ >= file_.size()) {
        return false;
    }
    if (!carriageServed_ && IsBareLineFeed(filePosition_)) {
        carriageServed_ = true;
    } else {
        carriageServed_ = false;
        ++filePosition_;
    }
    ++position_;
    return true;
}

int32_t HostBufferSource::GetText(int32_t position, char* destination, int32_t count) {
    if (position < 0 || count <= 0) {
        return 0;
    }
    if (position < position_) {
        position_ = 0;
        filePosition_ = 0;
        carriageServed_ = false;
    }
    while (position_ < position) {
        if (!Step()) {
            return 0;
        }
    }
    int32_t copied = 0;
    while (copied < count && Peek(destination[copied])) {
        ++copied;
        if (copied < count) {
            Step();
        }
    }
    return copied;
}

} // namespace kestrel
