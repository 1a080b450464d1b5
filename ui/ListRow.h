#pragma once

#include "SymbolCategory.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kestrel {

// A symbol row as the window shows it: the texts decoded for display. The
// four texts are kept back to back in one block of UTF-8 (most source text
// is ASCII, a byte a character), so that a unit of a million rows costs a
// million small blocks rather than four million strings; a text becomes a
// QString only when it is shown, measured or sorted.
class ListRow {
public:
    // The texts' columns: 0 the caption, then Name, Class and Details.
    static constexpr int kTexts = 4;

    ListRow() = default;
    // Texts in UTF-8.
    static ListRow FromUtf8(std::string_view caption, std::string_view name,
                            std::string_view className, std::string_view details, int imageIndex,
                            int32_t line);
    ListRow(const QString& caption, const QString& name, const QString& className,
            const QString& details, int imageIndex, int32_t line);

    ListRow(const ListRow& other);
    ListRow& operator=(const ListRow& other);
    ListRow(ListRow&&) noexcept = default;
    ListRow& operator=(ListRow&&) noexcept = default;
    ~ListRow() = default;

    // Text `column` (0 the caption, 1 Name, 2 Class, 3 Details), in UTF-8.
    std::string_view Utf8(int column) const;
    QString Text(int column) const;
    QString Caption() const { return Text(0); }
    // Sub-item `index`: 0 Name, 1 Class, 2 Details.
    QString SubItem(int index) const { return Text(index + 1); }

    int imageIndex = catHeader; // the row's category
    int32_t line = 0;

    // The widths of the row's four texts as measured by `measuredBy`, kept
    // so that fitting the columns again measures only rows new to the list.
    mutable const void* measuredBy = nullptr;
    mutable std::array<int, kTexts> widths{};

private:
    void Fill(const std::array<std::string_view, kTexts>& texts);

    std::unique_ptr<char[]> texts_;
    // Where each text ends in the block; each starts where the one before
    // it ends.
    std::array<uint32_t, kTexts> ends_{};
};

} // namespace kestrel
