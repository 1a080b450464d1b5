#pragma once

#include "SymbolCategory.h"

#include <QString>
#include <array>
#include <cstdint>

namespace kestrel {

// A symbol row as the window shows it: the texts decoded for display.
struct ListRow {
    QString caption; // the line number, zero-filled to five digits
    QString name;
    QString className;
    QString details;
    int imageIndex = catHeader; // the row's category
    int32_t line = 0;

    // The widths of the row's four texts as measured by `measuredBy`, kept
    // so that fitting the columns again measures only rows new to the list.
    mutable const void* measuredBy = nullptr;
    mutable std::array<int, 4> widths{};

    // Sub-item `index`: 0 Name, 1 Class, 2 Details.
    const QString& SubItem(int index) const {
        return index == 0 ? name : index == 1 ? className : details;
    }
};

} // namespace kestrel
