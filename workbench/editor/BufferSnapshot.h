#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace workbench {

// The host buffer's bytes as they were when the snapshot was taken. While
// the editor's text is unchanged and is those very bytes, they are read
// where the editor holds them; just before the text changes, the document
// has each such snapshot still held take a copy (Detach). Readers keep a
// reference to Bytes(), which stays valid across the detach.
class BufferSnapshot {
public:
    // Bytes held by the editor: valid until the document detaches the
    // snapshot.
    static std::shared_ptr<BufferSnapshot> InPlace(std::string_view editorBytes);
    // Bytes of a copy of the buffer, shared with its other holders.
    static std::shared_ptr<BufferSnapshot> Of(std::shared_ptr<const std::string> copy);

    const std::string_view& Bytes() const { return bytes_; }
    bool IsInPlace() const { return inPlace_; }
    // Takes a copy of the bytes read in place, so that they outlive the
    // editor's text.
    void Detach();

private:
    std::string_view bytes_;
    std::shared_ptr<const std::string> copy_;
    bool inPlace_ = false;
};

} // namespace workbench
