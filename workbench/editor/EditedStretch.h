#pragma once

#include <algorithm>
#include <cstddef>

namespace workbench {

// The one stretch of a text that covers every edit since it was last
// cleared: every byte inserted and every place bytes were deleted from, in
// the text's present offsets. What lies outside it is as it was.
class EditedStretch {
public:
    bool IsEmpty() const { return !edited_; }
    size_t From() const { return from_; }
    size_t To() const { return to_; }
    void Clear() { edited_ = false; }

    void Inserted(size_t position, size_t length) {
        if (edited_) {
            from_ = from_ > position ? from_ + length : from_;
            to_ = to_ > position ? to_ + length : to_;
        }
        Cover(position, position + length);
    }

    void Deleted(size_t position, size_t length) {
        if (edited_) {
            from_ = Moved(from_, position, length);
            to_ = Moved(to_, position, length);
        }
        Cover(position, position);
    }

private:
    // Where an offset goes when `length` bytes at `position` are deleted.
    static size_t Moved(size_t offset, size_t position, size_t length) {
        return offset <= position            ? offset
               : offset >= position + length ? offset - length
                                             : position;
    }

    void Cover(size_t from, size_t to) {
        from_ = edited_ ? std::min(from_, from) : from;
        to_ = edited_ ? std::max(to_, to) : to;
        edited_ = true;
    }

    bool edited_ = false;
    size_t from_ = 0;
    size_t to_ = 0;
};

} // namespace workbench
