#include "BufferSnapshot.h"

namespace workbench {

std::shared_ptr<BufferSnapshot> BufferSnapshot::InPlace(std::string_view editorBytes) {
    auto snapshot = std::make_shared<BufferSnapshot>();
    snapshot->bytes_ = editorBytes;
    snapshot->inPlace_ = true;
    return snapshot;
}

std::shared_ptr<BufferSnapshot> BufferSnapshot::Of(std::shared_ptr<const std::string> copy) {
    auto snapshot = std::make_shared<BufferSnapshot>();
    snapshot->bytes_ = *copy;
    snapshot->copy_ = std::move(copy);
    return snapshot;
}

void BufferSnapshot::Detach() {
    if (inPlace_) {
        copy_ = std::make_shared<const std::string>(bytes_);
        bytes_ = *copy_;
        inPlace_ = false;
    }
}

} // namespace workbench
