#pragma once

#include "CharacterSource.h"
#include "TextEncoding.h"

#include <string_view>

namespace kestrel {

// Serves the characters of the host buffer of a file's bytes (BOM left out,
// a CR before every bare LF) without building that buffer. Reads that move
// forward cost O(1) each; a read behind the last one starts again from the
// beginning.
class HostBufferSource final : public CharacterSource {
public:
    explicit HostBufferSource(std::string_view fileBytes);

    int32_t GetText(int32_t position, char* destination, int32_t count) override;

    // How the bytes are decoded for display.
    TextEncoding Encoding() const { return DetectEncoding(file_); }

private:
    bool IsBareLineFeed(size_t at) const {
        return file_[at] == '\n' && (at == 0 || file_[at - 1] != '\r');
    }
    bool Peek(char& c) const;
    bool Step();

    std::string_view file_;
    int64_t position_ = 0;        // buffer offset of the cursor
    size_t filePosition_ = 0;     // file offset of the cursor
    bool carriageServed_ = false; // the CR before a bare LF is behind the cursor
};

} // namespace kestrel
