#pragma once

#include "SysMem.h"
#include "ToolsApi.h"

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace kestrel {

// Owns a text that came from the other side of the host boundary and frees
// it in the shared memory manager. A null text reads as empty.
class HostString {
public:
    HostString() = default;
    explicit HostString(HostText text) : text_(text) {}
    HostString(const HostString&) = delete;
    HostString& operator=(const HostString&) = delete;
    HostString(HostString&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    HostString& operator=(HostString&& other) noexcept {
        std::swap(text_, other.text_);
        return *this;
    }
    ~HostString() { SysFreeMem(text_); }

    std::string_view View() const { return text_ ? std::string_view(text_) : std::string_view(); }
    std::string Str() const { return std::string(View()); }
    bool IsNull() const { return text_ == nullptr; }
    // Hands the text over, e.g. as a result to the other side.
    HostText Release() { return std::exchange(text_, nullptr); }

private:
    HostText text_ = nullptr;
};

// A text for the other side, in the shared memory manager; null when no
// memory is left (read as empty there).
inline HostText MakeHostText(std::string_view text) {
    if (text.size() >= 0x7FFFFFFF) {
        return nullptr;
    }
    auto* block = static_cast<char*>(SysGetMem(static_cast<int32_t>(text.size() + 1)));
    if (block != nullptr) {
        std::memcpy(block, text.data(), text.size());
        block[text.size()] = '\0';
    }
    return block;
}

} // namespace kestrel
